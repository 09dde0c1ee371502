#!/usr/bin/env bash
# Sets up the machine, builds the Linux command line and runs Mireo's main job on the
# bundled sample data, in a scratch folder (build/demo) so your own store and
# registry are left alone.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

bash scripts/setup.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target mireo LibKelvo >/dev/null

demo="$here/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
export MIREO_STORE="$demo/store.db"
export MIREO_REGISTRY="$demo/registry.reg"
export MIREO_LOG="$demo/mireo.log"
mireo="$here/build/linux/bin/mireo"

echo "== $("$mireo" --version)"
echo
echo "== Supported encodings"
"$mireo" encodings
echo
echo "== Settings (registry file $MIREO_REGISTRY)"
"$mireo" settings
echo
echo "== The host store ($MIREO_STORE) with the bundled sample contacts"
"$mireo" store add Contacts testdata/hoststore/sample-contacts.json
"$mireo" store folders
echo
echo "== Export the contacts: one vCard 3.0 file per contact, UTF-8"
mkdir -p "$demo/out/per-contact" "$demo/out/one-file"
"$mireo" export-contacts Contacts --to "$demo/out/per-contact" --file-per-contact --format 3.0 --encoding UTF-8
echo
echo "== Again, all contacts into one vCard 2.1 file (other options as the last export stored them)"
"$mireo" export-contacts Contacts --to "$demo/out/one-file" --one-file --format 2.1
echo
echo "== The files written"
(cd "$demo/out" && find . -type f -name '*.vcf' | LC_ALL=C sort | head -40)
echo
echo "== The first card of $demo/out/one-file/Contacts.vcf"
tr -d '\r' <"$demo/out/one-file/Contacts.vcf" | sed -n '1,/^END:VCARD$/p'
echo
echo "== The stored choices"
"$mireo" settings | grep 'Contacts.Export'
echo
echo "== Import the per-contact files into a new contacts folder \"Imported\""
"$mireo" store mkdir Imported --type contacts
"$mireo" import-contacts --folder Imported --conflict keep-both "$demo/out/per-contact"
echo
echo "== Import the one vCard 2.1 file into the same folder with keep both: a contact equal on every field"
echo "   its card sets is skipped (a card with neither a name nor a company cannot be looked up and comes in again)"
"$mireo" import-contacts --folder Imported "$demo/out/one-file/Contacts.vcf"
echo
echo "== Change the job title on every card of the 2.1 file and import it with replace:"
echo "   each changed contact replaces its old one, which goes to \"Deleted Items\""
sed 's/^\(TITLE[^:]*\):/\1:Senior /' "$demo/out/one-file/Contacts.vcf" >"$demo/out/changed.vcf"
"$mireo" import-contacts --folder Imported --conflict replace "$demo/out/changed.vcf"
echo
echo "== The original file again with keep existing: every contact with a name or a company is already there"
"$mireo" import-contacts --folder Imported --conflict keep-existing "$demo/out/one-file/Contacts.vcf"
echo
echo "== The sample events: every recurrence type, deleted and moved occurrences, all-day events,"
echo "   reminders, a meeting with attendees, categories, labels, two zones and non-Latin text"
"$mireo" store add Calendar testdata/hoststore/sample-events.json
echo
echo "== Export every event to one iCalendar file, UTF-8 (\"Export All\": no filter)"
mkdir -p "$demo/out/events-ics" "$demo/out/events-vcs"
"$mireo" export-events Calendar --to "$demo/out/events-ics" --one-file --format ical --encoding UTF-8 --export-all
echo
echo "== The same events to vCalendar 1.0, one file per event, through the filter page:"
echo "   no all-day or private events, none labelled Birthday or Anniversary, any time"
"$mireo" export-events Calendar --to "$demo/out/events-vcs" --file-per-event --format vcal --skip-all-day \
  --skip-private --any-categories --exclude-labels Birthday,Anniversary --any-time
echo
echo "== The files written"
(cd "$demo/out" && find events-ics events-vcs -type f | LC_ALL=C sort)
echo
echo "== The first event of $demo/out/events-ics/Calendar.ics"
tr -d '\r' <"$demo/out/events-ics/Calendar.ics" | sed -n '1,/^END:VEVENT$/p'
echo
echo "== The stored choices of the event export (the period is never stored)"
"$mireo" settings | grep 'Appointments.Export'
echo
echo "== The iCalendar file imported into a new calendar folder \"Imported Events\" (\"Import All\")"
"$mireo" store mkdir "Imported Events" --type calendar
"$mireo" import-events --folder "Imported Events" --conflict keep-existing --import-all "$demo/out/events-ics"
echo
echo "== The same file again with keep existing: every event is already there"
"$mireo" import-events --folder "Imported Events" --conflict keep-existing --import-all "$demo/out/events-ics"
echo
echo "== The folders and their item counts"
"$mireo" store folders
