// The retained widget model: controls that a form (Forms.h) holds by name.
//
// A control is state plus events, with no pixels: position and size, align
// and anchors, text, enabled and visible flags, a font (bold, colour), and
// the events a dialog handles (click, double click, change, enter, exit,
// key down, context menu). A backend (Backend.h) presents the state to a
// person or a script and feeds the user's actions back through the User*
// methods, which behave like the real gestures: they focus the control
// first and raise the events the gesture raises. Programmatic setters raise
// what the platform raises for them: setting a check box's Checked runs its
// click handling, setting an edit's Text raises OnChange, setting a list's
// ItemIndex raises nothing.
//
// Ownership: a container (TWinControl) owns its children; a form owns the
// whole tree and its pop-up menus. Event handlers are std::function members
// whose first argument is the sender; an unset handler is skipped.
//
// Everything runs on the thread of the form's window; nothing is locked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Exception.h"
#include "platform/winsys/WindowRegistry.h"

namespace qm::platform::ui {

class TForm;
class TWinControl;
class TPopupMenu;

enum class TColor : uint8_t {
  Default,
  Window,
  WindowText,
  Highlight,
  HighlightText,
  HotLight,
  BtnFace,
  White,
  InfoBk,
  InfoText,
};
const char16_t* ColorName(TColor color);

// Virtual key codes the dialogs look at.
inline constexpr uint16_t VK_RETURN = 13;
inline constexpr uint16_t VK_ESCAPE = 27;

// Something with a name: controls, menus and menu items.
class TComponent {
public:
  explicit TComponent(std::u16string name) : name_(std::move(name)) {}
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::u16string& Name() const noexcept { return name_; }
  // The class name shown to people and in journals ("TCheckBox").
  virtual const char16_t* ClassName() const = 0;
  intptr_t Tag() const noexcept { return tag_; }
  void SetTag(intptr_t tag) noexcept { tag_ = tag; }

private:
  std::u16string name_;
  intptr_t tag_ = 0;
};

using TNotifyEvent = std::function<void(TComponent& sender)>;
// key is set to 0 by a handler that consumed it.
using TKeyEvent = std::function<void(TComponent& sender, uint16_t& key)>;
// mousePos is in the control's client coordinates; a handler that set
// handled keeps the control's own pop-up menu from opening.
using TContextPopupEvent = std::function<void(TComponent& sender, TPoint mousePos, bool& handled)>;
// mousePos is in the control's client coordinates.
using TMouseMoveEvent = std::function<void(TComponent& sender, TPoint mousePos)>;

enum class TAlign : uint8_t { None, Top, Bottom, Left, Right, Client };
enum TAnchor : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

struct TFont {
  bool Bold = false;
  TColor Color = TColor::WindowText;
  friend bool operator==(const TFont&, const TFont&) = default;
};

// ASCII case-insensitive equality, for component names and command words.
bool SameName(std::u16string_view a, std::u16string_view b);

// Raised when a user action cannot be done: no such control, hidden,
// disabled, or no such item.
class EUserAction : public Exception {
public:
  using Exception::Exception;
};

class TControl : public TComponent {
public:
  explicit TControl(std::u16string name) : TComponent(std::move(name)) {}

  TWinControl* Parent() const noexcept { return parent_; }
  // The form holding the control (the control itself for a form).
  TForm* Form();
  const TForm* Form() const;

  int Left() const noexcept { return bounds_.Left; }
  int Top() const noexcept { return bounds_.Top; }
  int Width() const noexcept { return bounds_.Width(); }
  int Height() const noexcept { return bounds_.Height(); }
  // In the parent's client coordinates (the screen's for a form).
  TRect BoundsRect() const noexcept { return bounds_; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  // The control's rectangle in screen coordinates.
  TRect ScreenRect() const;

  TAlign Align() const noexcept { return align_; }
  void SetAlign(TAlign align);
  // Edges the control keeps its distance to when its container's client
  // area changes size (measured from the size the container had when the
  // control was placed, so size containers before filling them).
  uint8_t Anchors() const noexcept { return anchors_; }
  void SetAnchors(uint8_t anchors) noexcept { anchors_ = anchors; }

  bool Visible() const noexcept { return visible_; }
  virtual void SetVisible(bool visible);
  // Visible, and every container up to the form visible too.
  bool Showing() const;
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled) noexcept { enabled_ = enabled; }
  // Enabled, and every container up to the form enabled too.
  bool EffectivelyEnabled() const;

  // The caption of labels, buttons, boxes and panels; the text of edits.
  const std::u16string& Caption() const noexcept { return caption_; }
  virtual void SetCaption(std::u16string caption) { caption_ = std::move(caption); }
  const std::u16string& Hint() const noexcept { return hint_; }
  void SetHint(std::u16string hint) { hint_ = std::move(hint); }
  TFont& Font() noexcept { return font_; }
  const TFont& Font() const noexcept { return font_; }
  TColor Color() const noexcept { return color_; }
  void SetColor(TColor color) noexcept { color_ = color; }

  TPopupMenu* PopupMenu() const noexcept { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu) noexcept { popupMenu_ = menu; }

  // Whether the control can hold the keyboard focus.
  virtual bool CanFocus() const { return false; }
  bool Focused() const;
  void SetFocus();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TContextPopupEvent OnContextPopup;
  TMouseMoveEvent OnMouseMove;

  // The user's gestures. Each raises EUserAction when the control is not
  // showing or not enabled.
  virtual void UserClick();
  // A right click (or the menu key) at mousePos, in client coordinates;
  // the pointer moves there. Opens the pop-up menu unless a handler of
  // OnContextPopup took the event.
  void UserContextMenu(TPoint mousePos);
  void UserContextMenu() { UserContextMenu({Width() / 2, Height() / 2}); }
  // The pointer moves over the control to mousePos (client coordinates):
  // the platform's pointer position follows, then OnMouseMove. Disabled
  // controls hear it too; raises EUserAction when the control is not
  // showing.
  void UserMouseMove(TPoint mousePos);

  // Raises the events as the platform does; public so that containers and
  // backends can route gestures.
  virtual void Click();
  void DoEnter();
  void DoExit();

  // Raises EUserAction unless the user can act on the control now (it is
  // showing and enabled).
  void EnsureUserCanAct() const;

protected:
  // EnsureUserCanAct, then focuses the control when it takes the focus.
  void PrepareUserAction();
  // Called after the bounds changed; containers lay out their children.
  virtual void Resized() {}
  void StoreVisible(bool visible) noexcept { visible_ = visible; }

private:
  friend class TWinControl;

  TWinControl* parent_ = nullptr;
  TRect bounds_;
  TAlign align_ = TAlign::None;
  uint8_t anchors_ = akLeft | akTop;
  bool visible_ = true;
  bool enabled_ = true;
  std::u16string caption_;
  std::u16string hint_;
  TFont font_;
  TColor color_ = TColor::Default;
  TPopupMenu* popupMenu_ = nullptr;
};

// A container: owns its children and lays out the aligned ones.
class TWinControl : public TControl {
public:
  using TControl::TControl;

  // Creates a child at the end of the child order (the reading order).
  template <class T, class... Args>
  T& Add(std::u16string name, Args&&... args) {
    auto child = std::make_unique<T>(std::move(name), std::forward<Args>(args)...);
    T& ref = *child;
    Adopt(std::move(child));
    return ref;
  }
  // Moves a child to the front of the child order, so that it is laid out
  // before its siblings of the same alignment and position.
  void MoveToFront(TControl& child);

  int ChildCount() const noexcept { return static_cast<int>(children_.size()); }
  TControl& Child(int index) const { return *children_.at(static_cast<size_t>(index)); }

  // The area the children live in, in the container's own coordinates.
  virtual TRect ClientRect() const { return TRect::FromSize(0, 0, Width(), Height()); }
  // Where that area's origin lies on the screen.
  virtual TPoint ClientOrigin() const;
  // Lays out the aligned children (top, bottom, left, right, then the
  // client-aligned ones in the space left). Children of one alignment go
  // in the order of their position towards their side (top-aligned ones by
  // Top, bottom-aligned ones lowest first, ...), ties in child order.
  void Realign();
  // Holds the layout back while a container is being built, so that its
  // aligned children are laid out once, in the order of their designed
  // positions; EnableAlign lays out when the last hold ends.
  void DisableAlign() noexcept { ++alignHolds_; }
  void EnableAlign();

protected:
  // Moves the children anchored to the right or bottom edge by the change
  // of the client size, then lays out the aligned ones.
  void Resized() override;

private:
  friend class TControl;
  void Adopt(std::unique_ptr<TControl> child);

  std::vector<std::unique_ptr<TControl>> children_;
  int lastClientWidth_ = 0;
  int lastClientHeight_ = 0;
  bool aligning_ = false;
  int alignHolds_ = 0;
};

class TPanel : public TWinControl {
public:
  using TWinControl::TWinControl;
  const char16_t* ClassName() const override { return u"TPanel"; }
};

class TScrollBox : public TWinControl {
public:
  using TWinControl::TWinControl;
  const char16_t* ClassName() const override { return u"TScrollBox"; }
};

class TLabel : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TLabel"; }
};

// A picture placeholder: the name of the picture it shows.
class TImage : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TImage"; }
  const std::u16string& PictureName() const noexcept { return pictureName_; }
  void SetPictureName(std::u16string name) { pictureName_ = std::move(name); }

private:
  std::u16string pictureName_;
};

class TSplitter : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TSplitter"; }
};

class TEdit : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TEdit"; }
  bool CanFocus() const override { return true; }

  const std::u16string& Text() const noexcept { return Caption(); }
  // Raises OnChange when the text changes.
  void SetText(std::u16string text);
  void SetCaption(std::u16string caption) override { SetText(std::move(caption)); }
  // 0: the text is shown; else every character is shown as this one.
  char16_t PasswordChar() const noexcept { return passwordChar_; }
  void SetPasswordChar(char16_t c) noexcept { passwordChar_ = c; }
  // The text as a person sees it.
  std::u16string DisplayText() const;

  TNotifyEvent OnChange;

  void UserType(std::u16string text);

private:
  char16_t passwordChar_ = 0;
};

class TCheckBox : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TCheckBox"; }
  bool CanFocus() const override { return true; }

  bool Checked() const noexcept { return checked_; }
  // A change runs the box's click handling (OnClick), as a click would.
  void SetChecked(bool checked);
  // Toggles the box.
  void UserClick() override;

private:
  bool checked_ = false;
};

// Radio buttons with the same parent form one group: checking one unchecks
// the others.
class TRadioButton : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TRadioButton"; }
  bool CanFocus() const override { return true; }

  bool Checked() const noexcept { return checked_; }
  // Checking unchecks the siblings and, when it changed, runs OnClick.
  void SetChecked(bool checked);
  void UserClick() override;

private:
  bool checked_ = false;
};

// One control with a caption and a column of radio items.
class TRadioGroup : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TRadioGroup"; }
  bool CanFocus() const override { return true; }

  const std::vector<std::u16string>& Items() const noexcept { return items_; }
  void SetItems(std::vector<std::u16string> items);
  void SetItem(int index, std::u16string text);
  int ItemIndex() const noexcept { return itemIndex_; }
  // -1 for none; raises "List index out of bounds (N)" otherwise.
  void SetItemIndex(int index);

  // Picks an item as the user does; raises OnClick when it changed.
  void UserSelect(int index);

private:
  std::vector<std::u16string> items_;
  int itemIndex_ = -1;
};

// Recorded drawing, for owner-drawn list items: what was filled and which
// texts were written with which font.
class TCanvas {
public:
  struct TTextOut {
    int X = 0;
    int Y = 0;
    std::u16string Text;
    TFont Font;
  };

  TFont Font;
  TColor BrushColor = TColor::Window;

  void FillRect(const TRect& rect) { fills_.push_back({rect, BrushColor}); }
  void TextOut(int x, int y, std::u16string text) {
    texts_.push_back({x, y, std::move(text), Font});
  }

  struct TFill {
    TRect Rect;
    TColor Color;
  };
  const std::vector<TFill>& Fills() const noexcept { return fills_; }
  const std::vector<TTextOut>& Texts() const noexcept { return texts_; }
  void ClearRecording() {
    fills_.clear();
    texts_.clear();
  }

private:
  std::vector<TFill> fills_;
  std::vector<TTextOut> texts_;
};

struct TOwnerDrawState {
  bool Selected = false;
  bool Focused = false;
};

// One drawn list entry as a person sees it: the text written last, with
// its font, and the background.
struct TDrawnItem {
  std::u16string Text;
  TFont Font;
  TColor Background = TColor::Window;
  int X = 0;
  int Y = 0;
};

enum class TListBoxStyle : uint8_t { Standard, OwnerDrawFixed };

struct TListItem {
  std::u16string Text;
  intptr_t Data = 0;
  bool Flag = false;
};

class TListBox : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TListBox"; }
  bool CanFocus() const override { return true; }

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  const TListItem& Item(int index) const;
  // Appends, or inserts in order when Sorted; answers the index.
  int AddItem(std::u16string text, intptr_t data = 0, bool flag = false);
  void Clear();
  // The first entry with exactly this text, -1 when none.
  int IndexOf(std::u16string_view text) const;

  // Sorting uses SortCompare (code-unit order when unset); owners that
  // need their own text order set it before adding.
  bool Sorted() const noexcept { return sorted_; }
  void SetSorted(bool sorted);
  std::function<int(std::u16string_view, std::u16string_view)> SortCompare;

  int ItemIndex() const noexcept { return itemIndex_; }
  // -1 for none; raises "List index out of bounds (N)" otherwise.
  void SetItemIndex(int index);

  TListBoxStyle Style() const noexcept { return style_; }
  void SetStyle(TListBoxStyle style) noexcept { style_ = style; }
  int ItemHeight() const noexcept { return itemHeight_; }
  void SetItemHeight(int height) noexcept { itemHeight_ = height; }

  // Owner drawing: called with the canvas prepared for the item's state
  // (highlight colours for the selected item, window colours otherwise).
  std::function<void(TListBox& sender, int index, TRect rect, TOwnerDrawState state)> OnDrawItem;
  TCanvas& Canvas() noexcept { return canvas_; }
  // Draws one item (through OnDrawItem when owner-drawn) and answers how
  // it came out.
  TDrawnItem DrawItem(int index);

  // Selects the item as a click on it does (OnClick follows).
  void UserSelect(int index);
  // Selects the item, then raises OnDblClick.
  void UserDoubleClick(int index);

private:
  int InsertPosition(std::u16string_view text) const;

  std::vector<TListItem> items_;
  bool sorted_ = false;
  int itemIndex_ = -1;
  TListBoxStyle style_ = TListBoxStyle::Standard;
  int itemHeight_ = 13;
  TCanvas canvas_;
};

// A drop-down list without typing.
class TComboBox : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TComboBox"; }
  bool CanFocus() const override { return true; }

  const std::vector<std::u16string>& Items() const noexcept { return items_; }
  void AddItem(std::u16string text) { items_.push_back(std::move(text)); }
  void Clear() {
    items_.clear();
    itemIndex_ = -1;
  }
  // The first entry with exactly this text, -1 when none.
  int IndexOf(std::u16string_view text) const;
  int ItemIndex() const noexcept { return itemIndex_; }
  void SetItemIndex(int index);
  std::u16string Text() const;

  TNotifyEvent OnChange;
  // Picks an entry from the drop-down; raises OnChange when it changed.
  void UserSelect(int index);

private:
  std::vector<std::u16string> items_;
  int itemIndex_ = -1;
};

enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
};

class TButton : public TControl {
public:
  using TControl::TControl;
  const char16_t* ClassName() const override { return u"TButton"; }
  bool CanFocus() const override { return true; }

  // Enter presses the default button, Escape the cancel button.
  bool Default() const noexcept { return default_; }
  void SetDefault(bool value) noexcept { default_ = value; }
  bool Cancel() const noexcept { return cancel_; }
  void SetCancel(bool value) noexcept { cancel_ = value; }
  // A press sets the form's modal result to this, then runs OnClick.
  int ModalResult() const noexcept { return modalResult_; }
  void SetModalResult(int result) noexcept { modalResult_ = result; }

  void Click() override;

private:
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = mrNone;
};

}  // namespace qm::platform::ui
