// Tooltips that carry a card's or a file's text. Qt shows a tooltip as rich text when the text
// looks like markup (Qt::mightBeRichText) and no widget setting says otherwise, so such a
// text is turned into an HTML paragraph of itself, escaped; any other text is left as it is.
#pragma once

#include <QString>
#include <QTextDocument>

inline QString PlainToolTip(const QString& text) {
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}
