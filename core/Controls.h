#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace faderwell {

/// The state of one control as the mixer sees it. A window binds to it by
/// subscribing: it is told after every change of any part of the state
/// (position, ticked, enabled, text) and then reads what it shows.
class Control {
public:
    using Listener = std::function<void()>;

    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    /// Called after every change of this control's state.
    void Subscribe(Listener listener) { listeners_.push_back(std::move(listener)); }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) {
        if (enabled_ == enabled)
            return;
        enabled_ = enabled;
        Notify();
    }

protected:
    void Notify() const {
        for (const auto& listener : listeners_) listener();
    }

private:
    std::vector<Listener> listeners_;
    bool enabled_{true};
};

/// A control with a handler of its own that runs on a real change (a fader's
/// change event, a check box's click event).
class HandledControl : public Control {
public:
    using Handler = std::function<void()>;
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

protected:
    void RunHandler() const {
        if (handler_)
            handler_();
    }
    /// A real change: the view first, then the handler, before the setter returns.
    void Changed() const {
        Notify();
        RunHandler();
    }

private:
    Handler handler_;
};

/// How the user moves a scroll bar. Every gesture asks for a position and goes
/// through the fader contract like a position set by the program.
enum class ScrollGesture {
    LineUp,         // arrow button or arrow key towards 0
    LineDown,       // ... towards 127
    PageUp,         // click in the trough or Page key; the page step is 1
    PageDown,       // ... towards 127
    ToTop,          // Home
    ToBottom,       // End
    ThumbTrack,     // every report while the thumb is dragged
    ThumbPosition,  // the thumb released
    EndScroll,      // end of scrolling: asks for the current position
};

/// Every fader of the mixer: the channel faders, the master and the two fade
/// markers. Position 0..127; the value it stands for is 127 - position.
class Fader : public HandledControl {
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 127;

    explicit Fader(int position) : position_(position) {}

    int Position() const { return position_; }
    int Value() const { return kMax - position_; }

    /// The fader contract: clamp, do nothing without a real change, otherwise
    /// store, update the view and run the change handler before returning.
    void SetPosition(int requested) {
        const int clamped = requested < kMin ? kMin : (requested > kMax ? kMax : requested);
        if (clamped == position_)
            return;
        position_ = clamped;
        Changed();
    }

    /// A gesture of the user; `thumb` is the tracked thumb position for the
    /// thumb gestures. A disabled fader does not react.
    void Scroll(ScrollGesture gesture, int thumb = 0) {
        if (!Enabled())
            return;
        SetPosition(Requested(gesture, thumb));
    }

private:
    int Requested(ScrollGesture gesture, int thumb) const {
        switch (gesture) {
            case ScrollGesture::LineUp:
            case ScrollGesture::PageUp:
                return position_ - 1;
            case ScrollGesture::LineDown:
            case ScrollGesture::PageDown:
                return position_ + 1;
            case ScrollGesture::ToTop:
                return kMin;
            case ScrollGesture::ToBottom:
                return kMax;
            case ScrollGesture::ThumbTrack:
            case ScrollGesture::ThumbPosition:
                return thumb;
            case ScrollGesture::EndScroll:
                break;
        }
        return position_;
    }

    int position_;
};

/// A check box: its click handler runs whenever the ticked state changes, by
/// the user or by the program, and never when set to the state it has.
class CheckBox : public HandledControl {
public:
    explicit CheckBox(bool ticked) : ticked_(ticked) {}

    bool Ticked() const { return ticked_; }
    void SetTicked(bool ticked) {
        if (ticked_ == ticked)
            return;
        ticked_ = ticked;
        Changed();
    }
    /// A click of the user. A disabled box does not react.
    void Toggle() {
        if (Enabled())
            SetTicked(!ticked_);
    }

private:
    bool ticked_;
};

/// A push button or a menu command: clicks reach the handler only while enabled.
class Button : public HandledControl {
public:
    void Click() const {
        if (Enabled())
            RunHandler();
    }
};

/// The controller selector: an up-down pair over 0..127, step 1, no wrap.
/// The handler runs only when the position really changed.
class UpDown : public HandledControl {
public:
    static constexpr int kMin = 0;
    static constexpr int kMax = 127;

    int Position() const { return position_; }
    void StepUp() { Step(+1); }
    void StepDown() { Step(-1); }

private:
    void Step(int delta) {
        const int next = position_ + delta;
        if (!Enabled() || next < kMin || next > kMax)
            return;
        position_ = next;
        Changed();
    }

    int position_{0};
};

/// A text the mixer shows.
class Label : public Control {
public:
    explicit Label(std::string text) : text_(std::move(text)) {}

    const std::string& Text() const { return text_; }
    void SetText(std::string text) {
        if (text_ == text)
            return;
        text_ = std::move(text);
        Notify();
    }

private:
    std::string text_;
};

}  // namespace faderwell
