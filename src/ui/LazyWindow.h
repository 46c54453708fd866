#pragma once

#include <QPointer>
#include <functional>

// A window (or a view that another window shows) built the first time it is asked for, so that an agent
// whose user never opens it never pays for it. Until a parent adopts it, it is this object's to delete;
// once adopted, the parent's, and asking again after the parent dropped it builds a new one.
template <typename Widget>
class LazyWindow final {
public:
    using Build = std::function<void(Widget&)>;

    explicit LazyWindow(Build build) : build_(std::move(build)) {}
    ~LazyWindow() {
        if (widget_ && !widget_->parent()) {
            delete widget_.data();
        }
    }
    LazyWindow(const LazyWindow&) = delete;
    LazyWindow& operator=(const LazyWindow&) = delete;

    Widget& get() {
        if (!widget_) {
            // Kept before it is built, so that what the build calls may already ask for the window.
            widget_ = new Widget;
            build_(*widget_);
        }
        return *widget_;
    }

    // Nothing before the first `get`.
    [[nodiscard]] Widget* ifBuilt() const { return widget_.data(); }

private:
    Build build_;
    QPointer<Widget> widget_;
};
