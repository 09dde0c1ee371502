#!/bin/sh
# Prints what the substitute store answers to the filter texts of the contact and
# event import: the duplicate searches and the occurrence rendering, a value with '
# inside double quotes, one with " inside single quotes, the crafted subject that
# widens the filter, and texts the host refuses.
# usage: show_filters.sh path/to/mireo
set -u
MIREO=${1:?usage: show_filters.sh path/to/mireo}
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
STORE="$DIR/show.db"
cat > "$DIR/contacts.json" <<'JSON'
[{"Title": "Dr.", "FirstName": "John", "MiddleName": "Q", "LastName": "Smith", "Suffix": "Jr.", "CompanyName": "O'Neil & Co"},
 {"FirstName": "Ann \"Nan\"", "LastName": "Lee", "CompanyName": "Acme"},
 {"CompanyName": "Acme"}]
JSON
cat > "$DIR/events.json" <<'JSON'
[{"Subject": "Review", "Start": "2007-03-05T09:00:00", "End": "2007-03-05T10:30:00"},
 {"Subject": "John's party", "Start": "2007-03-06T14:00:00", "End": "2007-03-06T15:00:00",
  "RecurrencePattern": {"RecurrenceType": 0, "Interval": 1, "Occurrences": 5},
  "Exceptions": [{"OriginalDate": "2007-03-07T14:00:00", "Deleted": true},
                 {"OriginalDate": "2007-03-08T14:00:00", "Start": "2007-03-08T16:30:00", "End": "2007-03-08T17:30:00"}]},
 {"Subject": "Say \"cheese\"", "Start": "2007-03-06T00:30:00", "End": "2007-03-06T01:00:00"}]
JSON
"$MIREO" --store "$STORE" store add Contacts "$DIR/contacts.json" >/dev/null
"$MIREO" --store "$STORE" store add Calendar "$DIR/events.json" >/dev/null

show() {
    folder=$1; shift
    printf '%s\n  %s\n' "$folder" "$1"
    if out=$("$MIREO" --store "$STORE" store find "$folder" --restrict "$@" 2>&1); then
        printf '%s\n' "$out" | python3 -c '
import json, sys
items = json.load(sys.stdin)
print("  -> %d item(s)" % len(items))
for i in items:
    name = i.get("Subject") or " ".join(i.get(k, "") for k in ("Title", "FirstName", "MiddleName", "LastName", "Suffix")).split() or [i.get("CompanyName", "")]
    print("     ", name if isinstance(name, str) else " ".join(name), i.get("Start", ""), i.get("CompanyName", ""))'
    else
        printf '  -> refused: %s\n' "$out"
    fi
}

echo "== contact duplicate search"
show Contacts '[FullName] = "Dr. John Q Smith Jr." AND [CompanyName] = "O'"'"'Neil & Co"'
show Contacts '[FullName] = '"'"'Ann "Nan" Lee'"'"' AND [CompanyName] = "Acme"'
show Contacts '[CompanyName] = "Acme"'
echo "== event duplicate search (12-hour times)"
show Calendar "[Start] = '3/5/2007 09:00 AM' And [End] = '3/5/2007 10:30 AM' And [Subject] = 'Review'"
show Calendar "[Start] = '3/6/2007 02:00 PM' And [End] = '3/6/2007 03:00 PM' And [Subject] = 'John's party'"
show Calendar "[Start] = '1/1/2000 09:00 AM' And [End] = '1/1/2000 10:00 AM' And [Subject] = 'x' Or [Subject] <> 'y'"
echo "== occurrence rendering (24-hour hour with AM/PM)"
show Calendar '[Start] >= "3/6/2007 14:00 PM" And [Start] <= "3/10/2007 14:00 PM" And [Subject] = "John'"'"'s party"' --include-recurrences --sort Start
show Calendar '[Start] >= "3/6/2007 00:30 AM" And [Start] <= "3/6/2007 00:30 AM" And [Subject] = "Say "cheese""' --include-recurrences --sort Start
show Calendar "[Start] >= '3/6/2007 00:30 AM' And [Start] <= '3/6/2007 00:30 AM' And [Subject] = 'Say \"cheese\"'" --include-recurrences --sort Start
echo "== refused"
show Calendar "[Start] = '3/5/2007 09:00:00 AM'"
show Calendar "[Colour] = 'red'"
show Calendar "[Subject] = 'Review"
