#!/usr/bin/perl
# Prints a dBase table as Perl's XBase module reads it, one item a line, so that a test can
# compare it exactly:
#   version <hex>
#   field <name> <type> <width>
#   records <count>
#   value <record> <field> <byte count> <bytes in hex>     (or "undef" for a value read as none)
# Memo fields come with the whole memo value.
use strict;
use warnings;
use XBase;

my $table = XBase->new(name => $ARGV[0]) or die XBase->errstr;
printf "version %02x\n", $table->version;
for my $name ($table->field_names) {
    printf "field %s %s %d\n", $name, $table->field_type($name), $table->field_length($name);
}
printf "records %d\n", $table->last_record + 1;
for my $record (0 .. $table->last_record) {
    my ($deleted, @values) = $table->get_record($record);
    die "record $record: " . $table->errstr unless defined $deleted;
    print "deleted $record\n" if $deleted;
    my @names = $table->field_names;
    for my $i (0 .. $#names) {
        my $value = $values[$i];
        if (defined $value) {
            printf "value %d %s %d %s\n", $record, $names[$i], length $value, unpack('H*', $value);
        } else {
            printf "value %d %s undef\n", $record, $names[$i];
        }
    }
}
$table->close;
