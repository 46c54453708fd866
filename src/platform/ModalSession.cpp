#include "ModalSession.h"

#include <QObject>
#include <QPointer>
#include <vector>

namespace {

struct Listener {
    QPointer<QObject> context;
    std::function<void()> call;
};

struct ModalState {
    int depth = 0;
    std::vector<Listener> listeners;
};

ModalState& state() {
    static ModalState shared;
    return shared;
}

}  // namespace

ModalSession::ModalSession() {
    ++state().depth;
}

ModalSession::~ModalSession() {
    ModalState& modal = state();
    if (--modal.depth > 0) {
        return;
    }
    std::erase_if(modal.listeners, [](const Listener& listener) { return listener.context.isNull(); });
    // A listener may open a modal or add a listener of its own; it works on a copy.
    const std::vector<Listener> listeners = modal.listeners;
    for (const Listener& listener : listeners) {
        if (listener.context) {
            listener.call();
        }
    }
}

int ModalSession::depth() {
    return state().depth;
}

void ModalSession::whenAllClosed(QObject* context, std::function<void()> listener) {
    state().listeners.push_back({context, std::move(listener)});
}
