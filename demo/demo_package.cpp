#include "demo_package.h"

namespace tidewell::demo {

void buildDemoPackage(test::Package& package) {
    package.component(L"Main")
        .property(L"OLD_DIR", kOld)
        .property(L"OLD_CACHE", kOld + L"\\Cache & (old)")
        .property(L"CFG_OLD", kConfig + L"\\old\\")
        .property(L"CFG_NEW", kConfig + L"\\new\\data\\")
        .property(L"CFG_BACKUP", kConfig + L"\\backup\\")
        .property(L"DATA_DIR", kData)
        .property(L"ADA_DIR", kData + L"\\Profiles\\ada")
        .property(L"VU_CLEAN_RESOURCES_USER_PROMPT_BASIC_UI", L"1")
        .property(L"VU_CLEAN_RESOURCES_UNINSTALL", L"1")
        .rows(L"Error", {{L"4152", L"Remove the settings and profiles that Demo App created?"}})
        // File removal: at installation the old cache tree and the logs; at uninstallation
        // the user's data, if the clean-up question allows it.
        .rows(L"RemoveFile", {{L"oldCache", L"Main", L"", L"OLD_CACHE", L"1"},
                              {L"oldLogs", L"Main", L"LOGS~1|*.log", L"OLD_DIR", L"1"},
                              {L"userData", L"Main", L"", L"DATA_DIR", L"2"},
                              // Without VU_ rows: Windows Installer's own removal of the old
                              // version's data, which the backup has to survive.
                              {L"oldSettings", L"Main", L"settings.ini", L"DATA_DIR", L"1"},
                              {L"oldPrefs", L"Main", L"prefs.txt", L"ADA_DIR", L"1"}})
        .rows(L"VU_RemoveFile", {{L"oldCache", L"", L"3"}, {L"oldLogs", L"", L"0"}, {L"userData", kCleanUp, L"3"}})
        // Registry removal: the cache key tree and one value at installation; the
        // product's key at uninstallation, if the clean-up question allows it.
        .rows(L"RemoveRegistry", {{L"cacheKey", L"1", kKey + L"\\Cache", L"-", L"Main"},
                                  {L"lastDocument", L"1", kKey + L"\\Session", L"LastDocument", L"Main"},
                                  {L"productKey", L"1", kKey, L"-", L"Main"},
                                  {L"oldSettingsKey", L"1", kKey + L"\\Settings", L"-", L"Main"}})
        .rows(L"VU_RemoveRegistry",
              {{L"cacheKey", L"1", L"", L""}, {L"lastDocument", L"1", L"", L""}, {L"productKey", L"2", kCleanUp, L""}})
        // Moving: every *.cfg into the new folder, and a copy of defaults.ini under a new name.
        .rows(L"MoveFile", {{L"moveCfg", L"Main", L"*.cfg", L"", L"CFG_OLD", L"CFG_NEW", L"1"},
                            {L"copyDefaults", L"Main", L"defaults.ini", L"defaults.bak", L"CFG_OLD", L"CFG_BACKUP", L"0"}})
        .rows(L"VU_MoveFile", {{L"moveCfg", L"", L"1"}, {L"copyDefaults", L"", L"1"}})
        // Backup: a file, a folder and a registry key of the user's.
        .rows(L"VU_PersistentData", {{L"settings", L"0", L"1", L"[DATA_DIR]\\settings.ini"},
                                     {L"profiles", L"0", L"1", L"[DATA_DIR]\\Profiles"},
                                     {L"settingsKey", L"2", L"1", L"-1\\" + kKey + L"\\Settings"}})
        // The kit's actions in the kit's places, as an author imports them.
        .withKit()
        .rows(L"InstallExecuteSequence", test::kitRows(L"InstallExecuteSequence.idt"));
}

}  // namespace tidewell::demo
