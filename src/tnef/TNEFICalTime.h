#pragma once
// Times as libical takes them, shared by the calendar and task writers.
#include <QDate>
#include <QDateTime>
#include <libical/ical.h>
#include <optional>

// A time as iCalendar writes it (UTC), or nothing for one it cannot hold: a
// year before 1 or after 9999, or what libical turns into a null time.
std::optional<icaltimetype> utcTime(const QDateTime &time);
// A calendar day as a DATE value, or nothing outside the years 1 to 9999.
std::optional<icaltimetype> dateValue(const QDate &date);
