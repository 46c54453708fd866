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

    // The view state of the running agent: token entry raises harIndtastetToken on it after a save, and
    // preferences keeps its alert options shown as they are set on it.
    virtual void setViewState(BRSViewState* viewState);
    // Profile editor: the profile that arrived, and what to do with the user's changes.
    virtual void setFields(const ProfileGetModel& profile, SaveAction onSave);
    // Profile editor: the profile could not be fetched, for `reason`; `tryAgain` asks for it once more.
    virtual void setLoadFailure(const QString& reason, std::function<void()> tryAgain);
    // Profile editor: how the save it sent ended (a failure has already been reported).
    virtual void setSaveFinished(bool saved);
};
