// The statically linked GNU C++ runtime, trimmed to what this library needs. Every
// export catches everything (export_barrier.h), so the runtime's failure paths only have
// to throw something the barrier can log; the runtime's own versions of them pull in
// more code than the whole library (see docs/performance.md):
// - the default terminate handler demangles the exception's type name and prints it to
//   a console the installer does not have: about 70 KB with its printf;
// - the helpers that throw the standard exceptions carrying a message build those
//   messages in the runtime's copy-on-write and small-string `std::string`s, which
//   brings in both string implementations whole: about 80 KB.
// Other runtimes see nothing but the includes.
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

#if defined(__GLIBCXX__)

namespace {

// Carries the runtime's own text (a static string) to the barrier's catch.
class RuntimeFault : public std::exception {
public:
    explicit RuntimeFault(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

private:
    const char* what_;
};

}  // namespace

// The runtime's default terminate handler, declared in <exception>. Nothing can reach
// std::terminate through an export; if something ever does, the process ends as it
// would have, without the console report.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* what) { throw RuntimeFault(what); }
void __throw_domain_error(const char* what) { throw RuntimeFault(what); }
void __throw_invalid_argument(const char* what) { throw RuntimeFault(what); }
void __throw_length_error(const char* what) { throw RuntimeFault(what); }
void __throw_out_of_range(const char* what) { throw RuntimeFault(what); }
// The text is the runtime's format, left unformatted.
void __throw_out_of_range_fmt(const char* format, ...) { throw RuntimeFault(format); }
void __throw_runtime_error(const char* what) { throw RuntimeFault(what); }
void __throw_range_error(const char* what) { throw RuntimeFault(what); }
void __throw_overflow_error(const char* what) { throw RuntimeFault(what); }
void __throw_underflow_error(const char* what) { throw RuntimeFault(what); }

}  // namespace std

#endif
