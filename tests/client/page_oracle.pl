#!/usr/bin/perl
# What the program should make of a downloaded page, worked out independently for the
# end-to-end test:
#   page_oracle.pl results FILE            "rows N", then "link I TEXT" and "picture I TEXT"
#   page_oracle.pl player FILE BASE DOMAIN  "page TEXT" (last player line) and
#                                           "download ADDRESS" (last line with a plain label)
# Lines end at CR, LF, CR LF or NUL, as the program reads them.
use strict;
use warnings;

my ($mode, $file, $base, $domain) = @ARGV;
open(my $in, '<:raw', $file) or exit 1;
my $all = do { local $/; <$in> };
my @lines = split /\r\n|\r|\n|\0/, $all, -1;
pop @lines if @lines && $lines[-1] eq '' && $all =~ /[\r\n\0]\z/;
# Lines longer than 1 MiB are skipped, as the program skips them.
@lines = grep { length($_) <= 1048576 } @lines;

sub escape {
  my ($v) = @_;
  $v =~ s/([^A-Za-z0-9\-._~])/sprintf('%%%02X', ord $1)/ge;
  return $v;
}
sub between {
  my ($text, $start, $end) = @_;
  my $p = index($text, $start);
  return '' if $p < 0 || $start eq '' || $end eq '';
  my $rest = substr($text, $p + length $start);
  my $q = index($rest, $end);
  return $q < 0 ? '' : substr($rest, 0, $q);
}

if ($mode eq 'results') {
  my (@links, @pictures);
  for my $line (@lines) {
    push @links, between($line, 'href="', '"') if index($line, 'aname') >= 0;
    if (index($line, 'img src=') >= 0) {
      my $cut = between($line, 'img src="', 'jpg');
      push @pictures, $cut . 'jpg' if $cut ne '';
    }
  }
  print 'rows ', scalar(@links), "\n";
  print "link $_ $links[$_]\n" for 0 .. $#links;
  print "picture $_ $pictures[$_]\n" for 0 .. $#pictures;
} elsif ($mode eq 'player') {
  for my $line (@lines) {
    next if index($line, 'loadFlashPlayer') < 0;
    my @v = map { escape(between($line, $_, '"')) } ('oid":"', 'vid":"', 'hash2":"');
    print "page <style>body{padding:0px;margin:0px;background:#000000;}</style><iframe src='"
      . "${base}video_ext.php?oid=$v[0]&id=$v[1]&hash=$v[2]' width='480' height='360'"
      . " frameborder='0'></iframe>\n";
    my $label = between($line, 'http:\/\/', '.');
    next unless $label =~ /^[A-Za-z0-9-]*$/;
    print "download http://$label.$domain/u", escape(between($line, 'uid":"', '"')), '/video/',
      escape(between($line, 'vtag":"', '"')), ".480.mp4\n";
  }
}
