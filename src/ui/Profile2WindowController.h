#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <QUuid>
#include <functional>
#include <memory>

#include "EditorField.h"
#include "LazyWindow.h"
#include "OpenPanel.h"
#include "SharedEmployeeGetModel.h"
#include "WindowController.h"

class AlertPresenter;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollArea;

// The profile editor. Its form is not designed in advance: each profile that arrives is laid out as one
// row per field, with the control the field's type asks for, and saving sends only what the user changed.
class Profile2WindowController final : public WindowController {
public:
    // Form geometry, in the document view's top-left coordinates.
    static constexpr int kLabelX = 20;
    static constexpr int kLabelWidth = 200;
    static constexpr int kControlX = 228;
    static constexpr int kControlWidth = 200;
    static constexpr int kFirstRowY = 18;
    static constexpr int kRowGap = 8;
    static constexpr int kBottomMargin = 20;
    static constexpr int kDocumentWidth = 456;

    // Pictures are chosen through `chooseFile`, by default the desktop's file dialog; closing with unsaved
    // changes asks through `alerts`, by default the desktop's message box.
    explicit Profile2WindowController(OpenPanel::Runner chooseFile = {}, AlertPresenter* alerts = nullptr);
    ~Profile2WindowController() override;

    void centerWindow() override;
    // The same, on a screen of which `available` is free: the first size must suit a screen smaller than
    // the one the window happens to be tried on.
    void centerWindowIn(const QRect& available);
    void showWindow() override;
    void setFields(const ProfileGetModel& profile, SaveAction onSave) override;
    void setLoadFailure(const QString& reason, std::function<void()> tryAgain) override;
    void setSaveFinished(bool saved) override;

    // The window, built (and windowDidLoad run) on first use.
    QDialog& window();

    void buttonChangeImage(int tag);
    void buttonClearImage(int tag);
    void save();
    void tryAgainClick();
    void Close();
    void windowWillClose();

    // What the "Change" button asks.
    [[nodiscard]] static OpenPanel imagePanel();

    [[nodiscard]] const QList<EditorField>& fields() const { return fields_; }
    [[nodiscard]] const QList<SharedEmployeeGetModel>& sharedEmployees() const { return sharedEmployees_; }
    // Outlets, valid once the window is loaded.
    [[nodiscard]] QScrollArea* scrollView() const { return scrollView_; }
    [[nodiscard]] QWidget* documentView() const { return documentView_; }
    [[nodiscard]] QProgressBar* spinner() const { return spinner_; }
    [[nodiscard]] QListWidget* tableView() const { return tableView_; }
    [[nodiscard]] bool isSpinning() const;
    // What the window says above the form: why the profile is missing, or that it was saved.
    [[nodiscard]] QLabel* statusLabel() const { return status_; }
    [[nodiscard]] QPushButton* tryAgainButton() const { return tryAgain_; }
    [[nodiscard]] QPushButton* saveButton() const { return saveButton_; }
    // Whether the form differs from the profile as last loaded or saved.
    [[nodiscard]] bool hasUnsavedChanges() const;

private:
    void build(QDialog& window);
    void windowDidLoad();
    void setSpinning(bool spinning);
    void showStatus(const QString& text, bool offerTryAgain);
    // Asks before unsaved changes are dropped; true when the window may close now.
    bool mayClose();
    [[nodiscard]] ProfileUpdateModel changes() const;
    [[nodiscard]] QList<std::optional<QString>> formValues() const;
    [[nodiscard]] QList<QUuid> selectedEmployees() const;
    void rememberSavedState();
    void emptyForm();
    void reloadTable();
    QWidget* buildControl(const FieldGetModel& field, ProfileFieldType type, int y, int tag);
    [[nodiscard]] std::optional<QString> newValue(const EditorField& row) const;

    OpenPanel::Runner chooseFile_;
    std::unique_ptr<AlertPresenter> ownAlerts_;
    AlertPresenter* alerts_ = nullptr;
    LazyWindow<QDialog> window_;
    QLabel* status_ = nullptr;
    QPushButton* tryAgain_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QScrollArea* scrollView_ = nullptr;
    QWidget* documentView_ = nullptr;
    QProgressBar* spinner_ = nullptr;
    QListWidget* tableView_ = nullptr;
    QList<EditorField> fields_;
    QList<SharedEmployeeGetModel> sharedEmployees_;
    SaveAction onSave_;
    std::function<void()> tryAgainAction_;
    QList<std::optional<QString>> savedValues_;
    QList<QUuid> savedEmployees_;
    bool saving_ = false;
    // Set when the user chose Save on the way out: the window closes once the service has the changes.
    bool closeWhenSaved_ = false;
};
