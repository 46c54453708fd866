#include "WindowController.h"

WindowController::~WindowController() = default;

void WindowController::setViewState(BRSViewState* /*viewState*/) {}

void WindowController::setFields(const ProfileGetModel& /*profile*/, SaveAction /*onSave*/) {}

void WindowController::setLoadFailure(const QString& /*reason*/, std::function<void()> /*tryAgain*/) {}

void WindowController::setSaveFinished(bool /*saved*/) {}
