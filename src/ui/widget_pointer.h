#pragma once

#include <QCursor>
#include <optional>

#include "base/pointer_state.h"

class QWidget;

// The pointer state of one window. The hourglass covers the whole
// application, fields and buttons included, until the state changes again.
class WidgetPointer final : public WindowPointer {
public:
    explicit WidgetPointer(QWidget& window) : m_window(window) {}
    ~WidgetPointer() override;
    WidgetPointer(const WidgetPointer&) = delete;
    WidgetPointer& operator=(const WidgetPointer&) = delete;

    void setPointerState(PointerState state) override;
    PointerState pointerState() const override { return m_state; }

    // The window's own pointer image; none until one is loaded.
    void setImage(std::optional<QCursor> image) { m_image = std::move(image); }
    const std::optional<QCursor>& image() const { return m_image; }

private:
    QWidget& m_window;
    PointerState m_state = PointerState::Default;
    std::optional<QCursor> m_image;
};
