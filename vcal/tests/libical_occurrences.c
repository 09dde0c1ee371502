/* Reads a calendar file with libical (a vCalendar 1.0 file through libical's vCal
 * reader and its conversion) and prints, for each VEVENT, one JSON line: the summary,
 * whether it is all-day, its start and end as libical resolves them (UTC, or the date
 * alone for an all-day event) and every occurrence libical expands between two UTC
 * times, exceptions included.
 *
 * Usage: mireo_libical_occurrences FILE FROM TO   (FROM and TO as YYYYMMDDTHHMMSSZ)
 * Exit status 2 when the file cannot be read or parsed. */
#include <libical/ical.h>
#include <libical/icalvcal.h>
#include <libical/vcc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static icalcomponent *g_root;

static void print_json_string(const char *s) {
    putchar('"');
    for (; s && *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if (c == '"' || c == '\\') printf("\\%c", c);
        else if (c < 0x20) printf("\\u%04x", c);
        else putchar(c);
    }
    putchar('"');
}

/* kind: 0 UTC ("Z"), 1 a date, 2 a floating time (no zone: the reader's local time). */
static void print_timet(time_t t, int kind) {
    struct tm tm;
    gmtime_r(&t, &tm);
    if (kind == 1)
        printf("\"%04d%02d%02d\"", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    else
        printf("\"%04d%02d%02dT%02d%02d%02d%s\"", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
               tm.tm_min, tm.tm_sec, kind == 2 ? "" : "Z");
}

/* The time as UTC seconds: a TZID is looked up among the file's VTIMEZONEs; a date or
 * floating time keeps its fields (kind 1 or 2). */
static time_t as_timet(struct icaltimetype t, icalproperty *prop, int *kind) {
    *kind = t.is_date ? 1 : 0;
    if (t.is_date || icaltime_is_utc(t)) return icaltime_as_timet(t);
    icalparameter *p = prop ? icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER) : NULL;
    if (p) {
        icaltimezone *z = icalcomponent_get_timezone(g_root, icalparameter_get_tzid(p));
        if (z) return icaltime_as_timet_with_zone(t, z);
    }
    *kind = 2;
    return icaltime_as_timet(t);
}

/* The time of a DATE-TIME or DATE value of a property (its TZID resolved). */
static time_t prop_timet(icalproperty *prop, struct icaltimetype t, int *kind) { return as_timet(t, prop, kind); }

#define MAX_TIMES 4096

static int contains(const time_t *set, int n, time_t t) {
    for (int i = 0; i < n; ++i)
        if (set[i] == t) return 1;
    return 0;
}

static int compare_timet(const void *a, const void *b) {
    const time_t x = *(const time_t *)a, y = *(const time_t *)b;
    return x < y ? -1 : x > y;
}

/* The occurrences between from and to: the RRULE expanded by libical's iterator from
 * DTSTART (in DTSTART's zone), without the EXDATEs, with the RDATEs; each time in the
 * zone its own property names. */
static int expand(icalcomponent *ev, icalproperty *ps, struct icaltimetype start, time_t from, time_t to,
                  time_t *out) {
    int n = 0, nex = 0, kind = 0;
    static time_t ex[MAX_TIMES];
    for (icalproperty *p = icalcomponent_get_first_property(ev, ICAL_EXDATE_PROPERTY); p && nex < MAX_TIMES;
         p = icalcomponent_get_next_property(ev, ICAL_EXDATE_PROPERTY))
        ex[nex++] = prop_timet(p, icalproperty_get_exdate(p), &kind);
    icalproperty *pr = icalcomponent_get_first_property(ev, ICAL_RRULE_PROPERTY);
    if (!pr) {
        out[n++] = as_timet(start, ps, &kind);
    } else {
        struct icalrecurrencetype rule = icalproperty_get_rrule(pr);
        icalrecur_iterator *it = icalrecur_iterator_new(rule, start);
        for (struct icaltimetype t = icalrecur_iterator_next(it); it && !icaltime_is_null_time(t) && n < MAX_TIMES;
             t = icalrecur_iterator_next(it)) {
            const time_t s = as_timet(t, ps, &kind);
            if (s >= to) break;
            if (!contains(ex, nex, s)) out[n++] = s;
        }
        if (it) icalrecur_iterator_free(it);
    }
    for (icalproperty *p = icalcomponent_get_first_property(ev, ICAL_RDATE_PROPERTY); p && n < MAX_TIMES;
         p = icalcomponent_get_next_property(ev, ICAL_RDATE_PROPERTY)) {
        struct icaldatetimeperiodtype d = icalproperty_get_rdate(p);
        if (!icaltime_is_null_time(d.time)) out[n++] = prop_timet(p, d.time, &kind);
    }
    qsort(out, (size_t)n, sizeof *out, compare_timet);
    int kept = 0;
    for (int i = 0; i < n; ++i)
        if (out[i] >= from && out[i] < to) out[kept++] = out[i];
    return kept;
}

static void print_event(icalcomponent *ev, time_t from, time_t to) {
    icalproperty *ps = icalcomponent_get_first_property(ev, ICAL_DTSTART_PROPERTY);
    icalproperty *pe = icalcomponent_get_first_property(ev, ICAL_DTEND_PROPERTY);
    struct icaltimetype start = ps ? icalproperty_get_dtstart(ps) : icaltime_null_time();
    struct icaltimetype end = pe ? icalproperty_get_dtend(pe) : icaltime_null_time();
    const int all_day = start.is_date;
    printf("{\"summary\":");
    print_json_string(icalcomponent_get_summary(ev));
    printf(",\"all_day\":%s,\"start\":", all_day ? "true" : "false");
    int kind = 0, end_kind = 0;
    const time_t start_t = as_timet(start, ps, &kind);
    print_timet(start_t, kind);
    printf(",\"end\":");
    const time_t end_t = as_timet(end, pe, &end_kind);
    print_timet(end_t, end_kind);
    printf(",\"occurrences\":[");
    static time_t times[MAX_TIMES];
    const int n = expand(ev, ps, start, from, to, times);
    for (int i = 0; i < n; ++i) {
        if (i) putchar(',');
        print_timet(times[i], kind);
    }
    printf("]}\n");
}

static char *read_file(const char *path, long *len) {
    FILE *f = fopen(path, "rb");
    if (!f) return NULL;
    fseek(f, 0, SEEK_END);
    *len = ftell(f);
    fseek(f, 0, SEEK_SET);
    char *buf = malloc((size_t)*len + 1);
    if (buf && fread(buf, 1, (size_t)*len, f) != (size_t)*len) {
        free(buf);
        buf = NULL;
    }
    fclose(f);
    if (buf) buf[*len] = 0;
    return buf;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: mireo_libical_occurrences FILE FROM TO\n");
        return 2;
    }
    long len = 0;
    char *text = read_file(argv[1], &len);
    if (!text) return 2;
    if (strstr(text, "VERSION:1.0")) {
        VObject *vo = Parse_MIME(text, (unsigned long)len);
        if (!vo) return 2;
        g_root = icalvcal_convert(vo);
    } else {
        g_root = icalparser_parse_string(text);
    }
    if (!g_root) return 2;
    const time_t from = icaltime_as_timet(icaltime_from_string(argv[2]));
    const time_t to = icaltime_as_timet(icaltime_from_string(argv[3]));
    for (icalcomponent *ev = icalcomponent_get_first_component(g_root, ICAL_VEVENT_COMPONENT); ev;
         ev = icalcomponent_get_next_component(g_root, ICAL_VEVENT_COMPONENT))
        print_event(ev, from, to);
    if (icalcomponent_isa(g_root) == ICAL_VEVENT_COMPONENT) print_event(g_root, from, to);
    icalcomponent_free(g_root);
    free(text);
    return 0;
}
