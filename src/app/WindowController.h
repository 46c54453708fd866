#pragma once

#include <QString>
#include <functional>

class BRSViewState;
class ProfileUpdateModel;
struct ProfileGetModel;

// One of the agent's windows as the controller sees it. Each window takes the hooks it needs and ignores
// the rest, so the controller never depends on a window class.
class WindowController {
public:
    using SaveAction = std::function<void(const ProfileUpdateModel&)>;

    virtual ~WindowController();

    virtual void centerWindow() = 0;
    virtual void showWindow() = 0;

    // Token entry: the view state on which it raises harIndtastetToken after a save.
    virtual void setViewState(BRSViewState* viewState);
    // Preferences: a view-state flag it shows changed; the context is the view state.
    virtual void observeValueForKeyPath(const QString& keyPath, BRSViewState* context);
    // Profile editor: the profile that arrived, and what to do with the user's changes.
    virtual void setFields(const ProfileGetModel& profile, SaveAction onSave);
    // Profile editor: the profile could not be fetched, for `reason`; `tryAgain` asks for it once more.
    virtual void setLoadFailure(const QString& reason, std::function<void()> tryAgain);
    // Profile editor: how the save it sent ended (a failure has already been reported).
    virtual void setSaveFinished(bool saved);
};
