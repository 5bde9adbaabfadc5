#include "app/recording_names.h"

#include <algorithm>
#include <utility>
#include <vector>

QStringView NameField(QStringView name, int index) {
  qsizetype start = 0;
  for (int field = 0; field < index; ++field) {
    const qsizetype underscore = name.indexOf(u'_', start);
    if (underscore < 0) return {};
    start = underscore + 1;
  }
  const qsizetype end = name.indexOf(u'_', start);
  return name.mid(start, end < 0 ? name.size() - start : end - start);
}

QString TypeAbbreviation(QStringView name) {
  static constexpr std::pair<QStringView, QStringView> kAbbreviations[] = {
      {u"REC", u"REC"}, {u"EVENT", u"EVT"}, {u"PARKING", u"PAK"}, {u"MANUAL", u"MAN"}};
  const QStringView kind = NameField(name, 0);
  for (const auto& [word, abbreviation] : kAbbreviations) {
    if (kind.compare(word, Qt::CaseInsensitive) == 0) return abbreviation.toString();
  }
  return kind.toString();
}

QString DateTimeText(QStringView name) {
  // left/right of a shorter text give the whole text, as the column has always shown it.
  const QStringView date = NameField(name, 1);
  const QStringView time = NameField(name, 2);
  QString text;
  text.reserve(19);
  text.append(date.left(4)).append(u'.');
  text.append(date.left(6).right(2)).append(u'.');
  text.append(date.left(8).right(2)).append(u' ');
  text.append(time.left(2)).append(u':');
  text.append(time.left(4).right(2)).append(u':');
  text.append(time.left(6).right(2));
  return text;
}
