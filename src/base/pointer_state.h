#pragma once

// A window's pointer: 0 the arrow, 11 the hourglass, 99 the window's own image.
enum class PointerState { Default = 0, Hourglass = 11, Custom = 99 };

// Long operations set the hourglass on their window and reset it themselves.
class WindowPointer {
public:
    virtual ~WindowPointer() = default;
    virtual void setPointerState(PointerState state) = 0;
    virtual PointerState pointerState() const = 0;
};

// A pointer that only remembers its state, for a run without a window.
class RememberedPointer final : public WindowPointer {
public:
    void setPointerState(PointerState state) override { m_state = state; }
    PointerState pointerState() const override { return m_state; }

private:
    PointerState m_state = PointerState::Default;
};
