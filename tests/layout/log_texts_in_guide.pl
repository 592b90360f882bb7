#!/usr/bin/env perl
# Every text that the library writes into the MSI log is in the troubleshooting guide.
# The texts are the string literals inside the log calls of src/ (ActionLog::line and
# LogSink::line, called as .line( or ->line(, and logLine( ): each literal piece of a
# concatenation that has at least two words counts, trimmed of the spaces and
# punctuation at its ends. Prints every piece the guide lacks, with its file and line.
#   log_texts_in_guide.pl <src folder> <docs/troubleshooting.md>
use strict;
use warnings;
use File::Find;

my ($src, $guide) = @ARGV;
die "usage: $0 <src folder> <guide>\n" unless $src && $guide;
open my $g, '<', $guide or die "cannot read $guide: $!\n";
my $text = do { local $/; <$g> };
close $g;
$text =~ s/\\\\/\\/g;    # the guide may escape backslashes in Markdown
$text =~ s/`//g;

my @files;
find(sub { push @files, $File::Find::name if /\.(cpp|h)$/ }, $src);
my ($pieces, @missing) = (0);
for my $file (sort @files) {
    open my $f, '<', $file or die "cannot read $file: $!\n";
    my $code = do { local $/; <$f> };
    close $f;
    while ($code =~ /(?:\.|->)line\(|\blogLine\(/g) {
        my $start = pos($code);
        my $line = 1 + (substr($code, 0, $start) =~ tr/\n//);
        # The call's arguments: up to the matching parenthesis, string literals skipped.
        my ($depth, $at, @literals) = (1, $start);
        while ($depth > 0 && $at < length $code) {
            my $c = substr($code, $at, 1);
            if ($c eq '"') {
                my $end = $at + 1;
                $end++ while $end < length($code) && substr($code, $end, 1) ne '"' && (substr($code, $end, 1) ne '\\' || $end++);
                push @literals, substr($code, $at + 1, $end - $at - 1);
                $at = $end + 1;
                next;
            }
            $depth++ if $c eq '(';
            $depth-- if $c eq ')';
            $at++;
        }
        for my $literal (@literals) {
            (my $piece = $literal) =~ s/\\(.)/$1/g;
            $piece =~ s/^[^A-Za-z0-9_]+//;
            $piece =~ s/[^A-Za-z0-9_]+$//;
            my @words = grep { /[A-Za-z]/ } split /\s+/, $piece;
            next if @words < 2;
            $pieces++;
            push @missing, "$file:$line: $piece" if index($text, $piece) < 0;
        }
    }
}
die "no log texts found under $src: the extraction is broken\n" if $pieces == 0;
if (@missing) {
    print "The troubleshooting guide ($guide) lacks these log texts:\n";
    print "  $_\n" for @missing;
    print scalar(@missing) . " of $pieces texts missing\n";
    exit 1;
}
print "all $pieces log texts are in $guide\n";
