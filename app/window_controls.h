// The main window's child controls: created once, skinned from the resources, found by id.
// Every control carries its id as its object name. Placement belongs to the layout
// (window_layout.h); this class only makes and skins the controls. GUI thread only.
#pragma once

#include <QHash>
#include <QString>

class CBitmapButtonTrans;
class CBitmapSlider;
class CGraphStatic;
class CVideoPane;
class CxSkinButton;
class QCheckBox;
class QLabel;
class QTreeView;
class QWidget;
class TransBitmap;

enum class UiLanguage;

class CWindowControls {
 public:
  // Creates every control as a child of parent (which owns them). Unskinned until Skin().
  explicit CWindowControls(QWidget* parent);
  CWindowControls(const CWindowControls&) = delete;
  CWindowControls& operator=(const CWindowControls&) = delete;

  // Loads the bitmaps of buttons, sliders, check boxes and the list title for lang, in the
  // order of the window's initialisation, and sizes each bitmap control to its bitmap.
  void Skin(UiLanguage lang);

  // The control with id; nullptr for an id the window does not have.
  QWidget* Find(int id) const { return m_byId.value(id, nullptr); }
  CBitmapButtonTrans* Button(int id) const;
  // The push button `id` drawn pressed (its pressed picture) until told otherwise, as the
  // kind filter in use is.
  void ShowPressed(int id, bool pressed);
  CxSkinButton* Check(int id) const;
  CBitmapSlider* Slider(int id) const;
  QLabel* Label(int id) const;

  CVideoPane* FrontPane() const { return m_front; }
  CVideoPane* RearPane() const { return m_rear; }
  QWidget* MapView() const { return m_map; }
  CGraphStatic* Graph() const { return m_graph; }
  QTreeView* List() const { return m_list; }
  QCheckBox* SelectAll() const { return m_selectAll; }
  TransBitmap* ListTitle() const { return m_title; }
  QWidget* TopBar() const { return m_topBar; }
  QWidget* BottomBar() const { return m_bottomBar; }

  // Ids of every control, in creation order.
  const QList<int>& Ids() const { return m_ids; }

  // The list-title bitmap for a language.
  static int ListTitleBitmap(UiLanguage lang);

 private:
  void Add(int id, QWidget* control);
  void MakeButtons(QWidget* parent);
  void MakeOthers(QWidget* parent);

  QHash<int, QWidget*> m_byId;  // not owned: children of the parent
  QList<int> m_ids;
  CVideoPane* m_front = nullptr;
  CVideoPane* m_rear = nullptr;
  QWidget* m_map = nullptr;
  CGraphStatic* m_graph = nullptr;
  QTreeView* m_list = nullptr;
  QCheckBox* m_selectAll = nullptr;
  TransBitmap* m_title = nullptr;
  QWidget* m_topBar = nullptr;
  QWidget* m_bottomBar = nullptr;
};
