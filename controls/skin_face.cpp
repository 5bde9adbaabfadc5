#include "controls/skin_face.h"

#include <QPainter>

#include "resources/resource_ids.h"
#include "resources/resources.h"

CSkinFace::CSkinFace(QWidget* parent)
    : QWidget(parent), m_background(LoadSkinBitmap(IDB_BACKGROUND)) {
  resize(m_background.size());
}

void CSkinFace::paintEvent(QPaintEvent*) { QPainter(this).drawImage(0, 0, m_background); }
