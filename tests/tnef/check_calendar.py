# Reads each calendar that tst_calendar wrote with Python's icalendar: a
# METHOD, a VEVENT with a UID and a SUMMARY, and its start before its end;
# after it, its changed occurrences with the UID and a RECURRENCE-ID; or one
# VTODO with a UID and a DTSTAMP, due no earlier than it starts.
# A series in a zone is expanded by dateutil with the file's own VTIMEZONE:
# in a zone the tests know, every occurrence must fall on the organizer's
# wall clock as the system's zone database has it, on both sides of a change
# of summer time.
import glob
import sys
from datetime import datetime

import icalendar
from dateutil import rrule, tz


# The zones the tests build, as the system's zone database names them.
KNOWN_ZONES = {'Eastern Standard Time': 'America/New_York', 'Eastern US': 'America/New_York',
               'AUS Eastern Standard Time': 'Australia/Sydney'}


def local(value, zone):
    return datetime.strptime(value, '%Y%m%dT%H%M%S').replace(tzinfo=zone)


def check_series(name, event):
    tzid = event['DTSTART'].params.get('TZID')
    if 'RRULE' not in event or not tzid:
        return
    zone = tz.tzical(name).get(tzid)
    first = local(event['DTSTART'].to_ical().decode(), zone)
    series = rrule.rrulestr(event['RRULE'].to_ical().decode(), dtstart=first, forceset=True)
    removed = event.get('EXDATE', [])
    for dates in removed if isinstance(removed, list) else [removed]:
        for value in dates.to_ical().decode().split(','):
            series.exdate(local(value, zone))
    if tzid in KNOWN_ZONES:
        truth = tz.gettz(KNOWN_ZONES[tzid])
        seen = [t.astimezone(truth) for t in series]
        assert {(t.weekday(), t.time()) for t in seen} == {(first.weekday(), first.time())}, (name, seen)
        assert len({bool(t.dst()) for t in seen}) == 2, name  # on both sides of the change


files = sorted(glob.glob(sys.argv[1] + '/*.ics'))
if not files:
    sys.exit('no calendars in ' + sys.argv[1])
for name in files:
    with open(name, encoding='utf-8', newline='') as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    todos = calendar.walk('VTODO')
    if todos:
        assert len(todos) == 1 and todos[0]['UID'] and todos[0].decoded('DTSTAMP'), name
        if 'DTSTART' in todos[0] and 'DUE' in todos[0]:
            assert todos[0].decoded('DTSTART') < todos[0].decoded('DUE'), name
        continue
    events = calendar.walk('VEVENT')
    assert events and calendar['METHOD'], name
    event = events[0]
    assert event['UID'] and event['SUMMARY'] and 'RECURRENCE-ID' not in event, name
    for occurrence in events:  # the series, then its changed occurrences
        start, end = occurrence.decoded('DTSTART'), occurrence.decoded('DTEND')
        assert type(start) is type(end) and start < end, name
        assert occurrence['UID'] == event['UID'], name
        assert occurrence is event or 'RECURRENCE-ID' in occurrence, name
    start = event.decoded('DTSTART')
    if name.endswith('holiday.ics'):
        assert start.weekday() == 0, name  # Whit Monday
    check_series(name, event)
print(len(files), 'calendars read')
