# Reads each calendar that tst_calendar wrote with Python's icalendar: a
# METHOD, one VEVENT with a UID and a SUMMARY, and its start before its end;
# or one VTODO with a UID and a DTSTAMP, due no earlier than it starts.
import glob
import sys

import icalendar

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
    assert len(events) == 1 and calendar['METHOD'], name
    event = events[0]
    assert event['UID'] and event['SUMMARY'], name
    start, end = event.decoded('DTSTART'), event.decoded('DTEND')
    assert type(start) is type(end) and start < end, name
    if name.endswith('holiday.ics'):
        assert start.weekday() == 0, name  # Whit Monday
print(len(files), 'calendars read')
