// What the recording list shows of a recording's name. A name is fields separated by '_':
//   KIND_YYYYMMDD_HHMMSS_C...   e.g. "EVENT_20140301_093015_D.avi"
// field 0 the kind word (REC, EVENT, PARKING, MANUAL in any case), field 1 the date, field 2
// the time, field 3 starting with the camera letter ('D' in any case: front and rear camera).
// Missing fields read as empty text; nothing here fails on odd names. Pure functions, any
// thread.
#pragma once

#include <QString>
#include <QStringView>

// Field index of name ('_'-separated); empty when the name has fewer fields.
QStringView NameField(QStringView name, int index);

// The Type column: "REC", "EVT", "PAK", "MAN" for the four kind words, otherwise field 0
// unchanged (the whole name when it has no '_').
QString TypeAbbreviation(QStringView name);

// The Date column and sort key, "%s.%s.%s %s:%s:%s" of year, month, day, hour, minute,
// second cut from fields 1 and 2: "2014.03.01 09:30:15". A short field gives what it has;
// a name without date and time gives ".. ::".
QString DateTimeText(QStringView name);
