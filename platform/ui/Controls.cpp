#include "platform/ui/Controls.h"

#include <algorithm>

#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"

namespace qm::platform::ui {
namespace {

std::u16string Number(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

[[noreturn]] void IndexError(int index) {
  throw Exception(u"List index out of bounds (" + Number(index) + u")");
}

// An index that may be -1 (no selection).
void CheckIndex(int index, int count) {
  if (index < -1 || index >= count) IndexError(index);
}

// An index that must name an entry.
void CheckItem(int index, int count) {
  if (index < 0 || index >= count) IndexError(index);
}

// A user's pick of an entry must name one that is there.
void CheckUserIndex(const TControl& control, int index, int count) {
  if (index < 0 || index >= count) {
    throw EUserAction(u"'" + control.Name() + u"' has no entry " + Number(index));
  }
}

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

}  // namespace

const char16_t* ColorName(TColor color) {
  switch (color) {
    case TColor::Default:
      return u"Default";
    case TColor::Window:
      return u"Window";
    case TColor::WindowText:
      return u"WindowText";
    case TColor::Highlight:
      return u"Highlight";
    case TColor::HighlightText:
      return u"HighlightText";
    case TColor::HotLight:
      return u"HotLight";
    case TColor::BtnFace:
      return u"BtnFace";
    case TColor::White:
      return u"White";
    case TColor::InfoBk:
      return u"InfoBk";
    case TColor::InfoText:
      return u"InfoText";
  }
  return u"?";
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// --- TControl ---

TForm* TControl::Form() {
  for (TControl* c = this; c != nullptr; c = c->parent_) {
    if (auto* form = dynamic_cast<TForm*>(c)) return form;
  }
  return nullptr;
}

const TForm* TControl::Form() const {
  return const_cast<TControl*>(this)->Form();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const TRect updated = TRect::FromSize(left, top, std::max(width, 0), std::max(height, 0));
  if (updated == bounds_) return;
  bounds_ = updated;
  Resized();
  if (parent_ != nullptr && align_ != TAlign::None && !parent_->aligning_) parent_->Realign();
}

TRect TControl::ScreenRect() const {
  if (parent_ == nullptr) return bounds_;
  const TPoint origin = parent_->ClientOrigin();
  return bounds_.Offset(origin.X, origin.Y);
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

bool TControl::EffectivelyEnabled() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->enabled_) return false;
  }
  return true;
}

bool TControl::Focused() const {
  const TForm* form = Form();
  return form != nullptr && form->ActiveControl() == this;
}

void TControl::SetFocus() {
  if (TForm* form = Form()) form->SetActiveControl(this);
}

void TControl::EnsureUserCanAct() const {
  if (!Showing()) throw EUserAction(u"'" + Name() + u"' is not showing");
  if (!EffectivelyEnabled()) throw EUserAction(u"'" + Name() + u"' is disabled");
}

void TControl::PrepareUserAction() {
  EnsureUserCanAct();
  if (CanFocus()) SetFocus();
}

void TControl::UserClick() {
  PrepareUserAction();
  Click();
}

void TControl::UserContextMenu(TPoint mousePos) {
  EnsureUserCanAct();
  const TRect screen = ScreenRect();
  SetCursorPos({screen.Left + mousePos.X, screen.Top + mousePos.Y});
  bool handled = false;
  if (OnContextPopup) OnContextPopup(*this, mousePos, handled);
  if (!handled && popupMenu_ != nullptr) popupMenu_->Popup(GetCursorPos());
}

void TControl::UserMouseMove(TPoint mousePos) {
  if (!Showing()) throw EUserAction(u"'" + Name() + u"' is not showing");
  const TRect screen = ScreenRect();
  SetCursorPos({screen.Left + mousePos.X, screen.Top + mousePos.Y});
  if (OnMouseMove) OnMouseMove(*this, mousePos);
}

void TControl::Click() {
  if (OnClick) OnClick(*this);
}

void TControl::DoEnter() {
  if (OnEnter) OnEnter(*this);
}

void TControl::DoExit() {
  if (OnExit) OnExit(*this);
}

// --- TWinControl ---

void TWinControl::Adopt(std::unique_ptr<TControl> child) {
  child->parent_ = this;
  children_.push_back(std::move(child));
  if (children_.back()->align_ != TAlign::None) Realign();
}

void TWinControl::MoveToFront(TControl& child) {
  const auto it = std::find_if(children_.begin(), children_.end(),
                               [&](const auto& c) { return c.get() == &child; });
  if (it == children_.end()) return;
  std::rotate(children_.begin(), it, it + 1);
  Realign();
}

TPoint TWinControl::ClientOrigin() const {
  const TRect screen = ScreenRect();
  const TRect client = ClientRect();
  return {screen.Left + client.Left, screen.Top + client.Top};
}

void TWinControl::Resized() {
  const TRect client = ClientRect();
  const int dw = client.Width() - lastClientWidth_;
  const int dh = client.Height() - lastClientHeight_;
  lastClientWidth_ = client.Width();
  lastClientHeight_ = client.Height();
  if (dw != 0 || dh != 0) {
    for (const auto& child : children_) {
      if (child->align_ != TAlign::None) continue;
      TRect b = child->bounds_;
      const uint8_t a = child->anchors_;
      if ((a & akRight) != 0) {
        if ((a & akLeft) != 0)
          b.Right += dw;
        else
          b = b.Offset(dw, 0);
      }
      if ((a & akBottom) != 0) {
        if ((a & akTop) != 0)
          b.Bottom += dh;
        else
          b = b.Offset(0, dh);
      }
      child->SetBounds(b.Left, b.Top, b.Width(), b.Height());
    }
  }
  Realign();
}

namespace {

// Aligned children of one kind are laid out in the order of their current
// position towards the side they stick to (top-aligned ones by Top,
// bottom-aligned ones lowest first, ...), ties in child order; so a
// container's children may be created in reading order.
std::vector<TControl*> LayoutOrder(const std::vector<std::unique_ptr<TControl>>& children,
                                   TAlign kind) {
  std::vector<TControl*> order;
  for (const auto& child : children) {
    if (child->Align() == kind && child->Visible()) order.push_back(child.get());
  }
  const auto key = [kind](const TControl* c) {
    switch (kind) {
      case TAlign::Top:
        return c->Top();
      case TAlign::Bottom:
        return -c->Top();
      case TAlign::Left:
        return c->Left();
      case TAlign::Right:
        return -c->Left();
      default:
        return 0;
    }
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](const TControl* a, const TControl* b) { return key(a) < key(b); });
  return order;
}

}  // namespace

void TWinControl::EnableAlign() {
  if (alignHolds_ > 0 && --alignHolds_ == 0) Realign();
}

void TWinControl::Realign() {
  if (aligning_ || alignHolds_ > 0) return;
  aligning_ = true;
  TRect area = ClientRect();
  for (TAlign kind : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
    for (TControl* child : LayoutOrder(children_, kind)) {
      const int w = child->Width();
      const int h = child->Height();
      switch (kind) {
        case TAlign::Top:
          child->SetBounds(area.Left, area.Top, area.Width(), h);
          area.Top += h;
          break;
        case TAlign::Bottom:
          child->SetBounds(area.Left, area.Bottom - h, area.Width(), h);
          area.Bottom -= h;
          break;
        case TAlign::Left:
          child->SetBounds(area.Left, area.Top, w, area.Height());
          area.Left += w;
          break;
        case TAlign::Right:
          child->SetBounds(area.Right - w, area.Top, w, area.Height());
          area.Right -= w;
          break;
        default:
          child->SetBounds(area.Left, area.Top, area.Width(), area.Height());
          break;
      }
    }
  }
  aligning_ = false;
}

// --- TEdit ---

void TEdit::SetText(std::u16string text) {
  if (text == Caption()) return;
  TControl::SetCaption(std::move(text));
  if (OnChange) OnChange(*this);
}

std::u16string TEdit::DisplayText() const {
  if (passwordChar_ == 0) return Text();
  return std::u16string(Text().size(), passwordChar_);
}

void TEdit::UserType(std::u16string text) {
  PrepareUserAction();
  SetText(std::move(text));
}

// --- TCheckBox, TRadioButton, TRadioGroup ---

void TCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Click();
}

void TCheckBox::UserClick() {
  PrepareUserAction();
  SetChecked(!checked_);
}

void TRadioButton::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  if (!checked) return;
  if (TWinControl* parent = Parent()) {
    for (int i = 0; i < parent->ChildCount(); ++i) {
      auto* sibling = dynamic_cast<TRadioButton*>(&parent->Child(i));
      if (sibling != nullptr && sibling != this) sibling->checked_ = false;
    }
  }
  Click();
}

void TRadioButton::UserClick() {
  PrepareUserAction();
  SetChecked(true);
}

void TRadioGroup::SetItems(std::vector<std::u16string> items) {
  items_ = std::move(items);
  if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = -1;
}

void TRadioGroup::SetItem(int index, std::u16string text) {
  CheckItem(index, static_cast<int>(items_.size()));
  items_[static_cast<size_t>(index)] = std::move(text);
}

void TRadioGroup::SetItemIndex(int index) {
  CheckIndex(index, static_cast<int>(items_.size()));
  itemIndex_ = index;
}

void TRadioGroup::UserSelect(int index) {
  PrepareUserAction();
  CheckUserIndex(*this, index, static_cast<int>(items_.size()));
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Click();
}

// --- TListBox ---

const TListItem& TListBox::Item(int index) const {
  CheckItem(index, Count());
  return items_[static_cast<size_t>(index)];
}

int TListBox::InsertPosition(std::u16string_view text) const {
  if (!sorted_) return Count();
  const auto before = [this](std::u16string_view a, std::u16string_view b) {
    return SortCompare ? SortCompare(a, b) < 0 : a < b;
  };
  const auto it = std::upper_bound(
      items_.begin(), items_.end(), text,
      [&](std::u16string_view t, const TListItem& item) { return before(t, item.Text); });
  return static_cast<int>(it - items_.begin());
}

int TListBox::AddItem(std::u16string text, intptr_t data, bool flag) {
  const int at = InsertPosition(text);
  items_.insert(items_.begin() + at, TListItem{std::move(text), data, flag});
  if (itemIndex_ >= at) ++itemIndex_;
  return at;
}

void TListBox::Clear() {
  items_.clear();
  itemIndex_ = -1;
}

int TListBox::IndexOf(std::u16string_view text) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[static_cast<size_t>(i)].Text == text) return i;
  }
  return -1;
}

void TListBox::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  if (!sorted_ || items_.empty()) return;
  const std::u16string selected = itemIndex_ >= 0 ? Item(itemIndex_).Text : std::u16string();
  std::stable_sort(items_.begin(), items_.end(), [this](const TListItem& a, const TListItem& b) {
    return SortCompare ? SortCompare(a.Text, b.Text) < 0 : a.Text < b.Text;
  });
  if (itemIndex_ >= 0) itemIndex_ = IndexOf(selected);
}

void TListBox::SetItemIndex(int index) {
  CheckIndex(index, Count());
  itemIndex_ = index;
}

TDrawnItem TListBox::DrawItem(int index) {
  const TListItem& item = Item(index);
  const TOwnerDrawState state{index == itemIndex_, Focused()};
  canvas_.ClearRecording();
  canvas_.Font = Font();
  canvas_.BrushColor = TColor::Window;
  if (state.Selected) {
    canvas_.Font.Color = TColor::HighlightText;
    canvas_.BrushColor = TColor::Highlight;
  }
  const TRect rect = TRect::FromSize(0, index * itemHeight_, Width(), itemHeight_);
  if (style_ == TListBoxStyle::OwnerDrawFixed && OnDrawItem) {
    OnDrawItem(*this, index, rect, state);
  } else {
    canvas_.FillRect(rect);
    canvas_.TextOut(rect.Left + 2, rect.Top, item.Text);
  }
  TDrawnItem drawn;
  if (!canvas_.Fills().empty()) drawn.Background = canvas_.Fills().back().Color;
  if (!canvas_.Texts().empty()) {
    const auto& last = canvas_.Texts().back();
    drawn.Text = last.Text;
    drawn.Font = last.Font;
    drawn.X = last.X;
    drawn.Y = last.Y;
  }
  return drawn;
}

void TListBox::UserSelect(int index) {
  PrepareUserAction();
  CheckUserIndex(*this, index, Count());
  itemIndex_ = index;
  Click();
}

void TListBox::UserDoubleClick(int index) {
  UserSelect(index);
  if (OnDblClick) OnDblClick(*this);
}

// --- TComboBox ---

int TComboBox::IndexOf(std::u16string_view text) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == text) return static_cast<int>(i);
  }
  return -1;
}

void TComboBox::SetItemIndex(int index) {
  CheckIndex(index, static_cast<int>(items_.size()));
  itemIndex_ = index;
}

std::u16string TComboBox::Text() const {
  return itemIndex_ >= 0 ? items_[static_cast<size_t>(itemIndex_)] : std::u16string();
}

void TComboBox::UserSelect(int index) {
  PrepareUserAction();
  CheckUserIndex(*this, index, static_cast<int>(items_.size()));
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (OnChange) OnChange(*this);
}

// --- TButton ---

void TButton::Click() {
  if (modalResult_ != mrNone) {
    if (TForm* form = Form()) form->SetModalResult(modalResult_);
  }
  TControl::Click();
}

// --- TPopupMenu ---

TMenuItem& TPopupMenu::AddItem(std::u16string caption, TNotifyEvent onClick, intptr_t tag) {
  auto item =
      std::make_unique<TMenuItem>(Name() + u"Item" + Number(Count() + 1), std::move(caption));
  item->OnClick = std::move(onClick);
  item->SetTag(tag);
  items_.push_back(std::move(item));
  return *items_.back();
}

}  // namespace qm::platform::ui
