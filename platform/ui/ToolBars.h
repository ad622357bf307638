// Tool bars: a row of tool buttons with pictures and captions.
//
// TToolBar holds its buttons as children, in their order from left to
// right, and lays them out itself: each button sits right of the one
// before; with AutoSize a button is as wide as its picture and caption
// need (list style: the caption beside the picture), and with the bar's
// AutoSize the bar is as wide as its buttons. Pictures come from the bar's
// image lists by the button's ImageIndex: Images for the plain picture,
// HotImages for the one shown under the pointer.
//
// TToolButton styles: a plain button; a check button, which a click toggles
// between pressed (Down) and released before its OnClick runs; a drop-down
// button, whose OnClick usually opens its DropdownMenu. A click on a
// disabled button does nothing but raise EUserAction, like every gesture.
//
// TImageList holds icons (platform/winsys/Resources.h) of one size.
//
// The bar owns its buttons; a form owns the bar, the image lists it made
// and the pop-up menus. Runs on the form's thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/winsys/Resources.h"

namespace qm::platform::ui {

class TImageList : public TComponent {
public:
  explicit TImageList(std::u16string name, int width = 16, int height = 16)
      : TComponent(std::move(name)), width_(width), height_(height) {}
  const char16_t* ClassName() const override { return u"TImageList"; }

  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  // Appends icon and answers its index. A missing icon or one of another
  // size raises Exception "Invalid image".
  int AddIcon(const HICON& icon);
  int Count() const noexcept { return static_cast<int>(icons_.size()); }
  const HICON& Icon(int index) const;

private:
  int width_;
  int height_;
  std::vector<HICON> icons_;
};

enum class TToolButtonStyle : uint8_t { Button, Check, DropDown };

class TToolButton : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TToolButton"; }

  TToolButtonStyle Style() const noexcept { return style_; }
  void SetStyle(TToolButtonStyle style);
  int ImageIndex() const noexcept { return imageIndex_; }
  void SetImageIndex(int index) noexcept { imageIndex_ = index; }
  // Pressed: a check button that is on.
  bool Down() const noexcept { return down_; }
  void SetDown(bool down) noexcept { down_ = down; }
  bool AutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool value);
  TPopupMenu* DropdownMenu() const noexcept { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* menu) noexcept { dropdownMenu_ = menu; }

  // The bar lays the buttons out again when a caption changes.
  void SetCaption(std::u16string caption) override;
  // A check button toggles Down, then OnClick runs.
  void UserClick() override;

private:
  TToolButtonStyle style_ = TToolButtonStyle::Button;
  int imageIndex_ = -1;
  bool down_ = false;
  bool autoSize_ = false;
  TPopupMenu* dropdownMenu_ = nullptr;
};

class TToolBar : public TWinControl {
public:
  using TWinControl::TWinControl;
  const char16_t* ClassName() const override { return u"TToolBar"; }

  // A new button right of the others.
  TToolButton& AddButton(std::u16string name);
  // A new button left of the others.
  TToolButton& InsertButtonInFront(std::u16string name);
  int ButtonCount() const noexcept { return ChildCount(); }
  // Buttons from left to right.
  TToolButton& Button(int index) const;

  TImageList* Images() const noexcept { return images_; }
  void SetImages(TImageList* images) noexcept { images_ = images; }
  TImageList* HotImages() const noexcept { return hotImages_; }
  void SetHotImages(TImageList* images) noexcept { hotImages_ = images; }
  int ButtonWidth() const noexcept { return buttonWidth_; }
  void SetButtonWidth(int width);
  int ButtonHeight() const noexcept { return buttonHeight_; }
  // List style: captions beside the pictures (else below them).
  bool List() const noexcept { return list_; }
  void SetList(bool value);
  bool ShowCaptions() const noexcept { return showCaptions_; }
  void SetShowCaptions(bool value);
  bool Flat() const noexcept { return flat_; }
  void SetFlat(bool value) noexcept { flat_ = value; }
  bool AutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool value);

  // Places the buttons from left to right (and sizes the bar with
  // AutoSize); done by every change that moves them.
  void ArrangeButtons();
  // How wide a button is: ButtonWidth, or with AutoSize the room its
  // picture, caption and edges need.
  int ButtonExtent(const TToolButton& button) const;

private:
  TImageList* images_ = nullptr;
  TImageList* hotImages_ = nullptr;
  int buttonWidth_ = 23;
  int buttonHeight_ = 22;
  bool list_ = false;
  bool showCaptions_ = false;
  bool flat_ = false;
  bool autoSize_ = false;
};

// The width of a text in the toolkit's default font ("MS Sans Serif",
// 8 points), by that font's average character width.
int DefaultFontTextWidth(std::u16string_view text);

}  // namespace qm::platform::ui
