// roadkeep-gallery: a picture of every skinned control with the real skin, for review.
#pragma once

#include <QWidget>
#include <memory>

class CBitmapButtonTrans;
class CBitmapSlider;
class CxSkinButton;

struct ButtonSkin {
  int id, normal, down, disabled;
  bool blackKey;
  int x, y;  // place in the main window
};

struct CheckSkin {
  int id, normal, down, disabled;
  int x, y;
};

inline constexpr CheckSkin kCheckSkins[] = {
    {1099, 448, 449, 450, 809, 250},
    {1100, 475, 476, 477, 650, 250},
    {1236, 454, 455, 454, 599, 470},
    {1023, 495, 494, 495, 684, 472},
};

// Controls skinned as the main window skins them; each is owned by parent.
CBitmapButtonTrans* MakeButton(const ButtonSkin& skin, QWidget* parent);
CxSkinButton* MakeCheck(const CheckSkin& skin, QWidget* parent);
CBitmapSlider* MakeSmallSlider(int id, QWidget* parent);

// The main window's face with all its skinned controls in place.
std::unique_ptr<QWidget> MakeGalleryWindow();
