#include "Profile2WindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "Alert.h"
#include "DialogButtons.h"
#include "ProfileGetModel.h"
#include "ProfileImageCodec.h"
#include "ProfileImageView.h"
#include "ProfileUpdateModel.h"
#include "QtAlertPresenter.h"
#include "WindowPlacement.h"

namespace {

constexpr int kImageButtonWidth = 100;
constexpr int kImageButtonHeight = 22;
constexpr int kImageViewTop = 26;
constexpr int kImageViewHeight = 75;
constexpr int kFormMinimumHeight = 96;
constexpr int kTableMinimumHeight = 54;
constexpr int kFormStretch = 3;
constexpr int kTableStretch = 1;
constexpr int kPreferredWindowHeight = 600;
// The window manager's title bar is not known before the first showing.
constexpr int kTitleBarAllowance = 40;

int rowHeight(ProfileFieldType fieldType) {
    switch (fieldType) {
        case ProfileFieldType::Image:
            return kImageViewTop + kImageViewHeight;
        case ProfileFieldType::List:
            return 26;
        case ProfileFieldType::Text:
        case ProfileFieldType::Boolean:
            break;
    }
    return 22;
}

// Sees the window's close requests before the dialog acts on them. Escape must be caught as a key: the
// dialog turns it into a rejection that hides the window without a close event anyone could refuse.
class CloseGuard final : public QObject {
public:
    CloseGuard(QObject* parent, std::function<bool()> mayClose, std::function<void()> close)
        : QObject(parent), mayClose_(std::move(mayClose)), close_(std::move(close)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && !mayClose_()) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            close_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> mayClose_;
    std::function<void()> close_;
};

}  // namespace

Profile2WindowController::Profile2WindowController(OpenPanel::Runner chooseFile, AlertPresenter* alerts)
    : chooseFile_(std::move(chooseFile)),
      alerts_(alerts),
      window_([this](QDialog& window) { build(window); }) {
    if (!alerts_) {
        ownAlerts_ = std::make_unique<QtAlertPresenter>();
        alerts_ = ownAlerts_.get();
    }
    if (!chooseFile_) {
        chooseFile_ = [this](const OpenPanel& panel) {
            return OpenPanel::runModal(panel, window_.ifBuilt());
        };
    }
}

Profile2WindowController::~Profile2WindowController() = default;

OpenPanel Profile2WindowController::imagePanel() {
    OpenPanel panel;
    panel.title = QStringLiteral("Choose an image file");
    panel.showsResizeIndicator = true;
    panel.showsHiddenFiles = false;
    panel.canChooseDirectories = true;
    panel.canCreateDirectories = true;
    panel.allowsMultipleSelection = false;
    panel.allowedFileTypes = {QStringLiteral("jpg"), QStringLiteral("png")};
    return panel;
}

QDialog& Profile2WindowController::window() {
    return window_.get();
}

void Profile2WindowController::build(QDialog& window) {
    window.setWindowTitle(QStringLiteral("Orlin Profile"));
    auto* layout = new QVBoxLayout(&window);

    auto* intro = new QLabel(
        QStringLiteral("Your signatures are made from these details. When you save, Orlin updates your "
                       "signatures with the changes."),
        &window);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* statusRow = new QHBoxLayout;
    status_ = new QLabel(&window);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tryAgain_ = new QPushButton(QStringLiteral("Try Again"), &window);
    tryAgain_->setAutoDefault(false);
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(tryAgain_, 0, Qt::AlignTop);
    layout->addLayout(statusRow);
    status_->hide();
    tryAgain_->hide();
    QObject::connect(tryAgain_, &QPushButton::clicked, &window, [this] { tryAgainClick(); });

    spinner_ = new QProgressBar(&window);
    spinner_->setTextVisible(false);
    spinner_->setMaximumHeight(8);
    spinner_->setAccessibleName(QStringLiteral("Loading your profile"));
    layout->addWidget(spinner_);

    scrollView_ = new QScrollArea(&window);
    documentView_ = new QWidget;
    documentView_->resize(kDocumentWidth, kFirstRowY + kBottomMargin);
    scrollView_->setWidget(documentView_);
    scrollView_->setWidgetResizable(false);
    // Small minimums keep Save and Close on a small screen (1280 x 800 at twice the scale is 640 x 400):
    // the form takes whatever height the window has and scrolls through the rest.
    scrollView_->setMinimumSize(
        kDocumentWidth + scrollView_->verticalScrollBar()->sizeHint().width() + 2 * scrollView_->frameWidth(),
        kFormMinimumHeight);
    layout->addWidget(scrollView_, kFormStretch);

    auto* shared = new QGroupBox(QStringLiteral("Shared signatures"), &window);
    auto* sharedLayout = new QVBoxLayout(shared);
    tableView_ = new QListWidget(shared);
    tableView_->setMinimumHeight(kTableMinimumHeight);
    // The list's own preferred height would take the room the form needs; it gets its share of what is left.
    tableView_->setSizePolicy(tableView_->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    tableView_->setAccessibleName(QStringLiteral("Colleagues whose shared signatures you use"));
    sharedLayout->addWidget(tableView_);
    layout->addWidget(shared, kTableStretch);

    QDialogButtonBox* buttons = DialogButtons::addSaveAndClose(
        window, *layout, [this] { save(); }, [this] { Close(); });
    for (QAbstractButton* button : buttons->buttons()) {
        if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            saveButton_ = qobject_cast<QPushButton*>(button);
        }
    }
    QObject::connect(&window, &QDialog::finished, &window, [this] { windowWillClose(); });
    window.installEventFilter(new CloseGuard(
        &window, [this] { return mayClose(); }, [this] { Close(); }));

    windowDidLoad();
}

void Profile2WindowController::windowDidLoad() {
    setSpinning(true);
    saveButton_->setEnabled(false);
}

void Profile2WindowController::showStatus(const QString& text, bool offerTryAgain) {
    status_->setText(text);
    status_->setVisible(!text.isEmpty());
    tryAgain_->setVisible(offerTryAgain);
}

bool Profile2WindowController::isSpinning() const {
    return spinner_ && spinner_->isVisibleTo(window_.ifBuilt()) && spinner_->maximum() == 0;
}

void Profile2WindowController::setSpinning(bool spinning) {
    // A bar with no range is the busy indicator; it is hidden while it has nothing to say.
    spinner_->setRange(0, spinning ? 0 : 1);
    spinner_->setVisible(spinning);
}

void Profile2WindowController::centerWindow() {
    QDialog& dialog = window();
    WindowPlacement::centerOnScreen(dialog);
    QScreen* screen = QGuiApplication::screenAt(dialog.frameGeometry().center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        centerWindowIn(screen->availableGeometry());
    }
}

void Profile2WindowController::centerWindowIn(const QRect& available) {
    QDialog& dialog = window();
    // The form arrives after the window is up, so its first size cannot follow the form: room for most
    // profiles where the screen has it, and never less than what keeps Save and Close in reach.
    const int height = std::max(dialog.minimumSizeHint().height(),
                                std::min(kPreferredWindowHeight, available.height() - kTitleBarAllowance));
    dialog.resize(dialog.width(), height);
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    dialog.move(frame.topLeft());
}

void Profile2WindowController::showWindow() {
    WindowPlacement::bringToFront(window());
}

void Profile2WindowController::setFields(const ProfileGetModel& profile, SaveAction onSave) {
    window();
    // A second profile (the user chose the item again while the window was open) replaces the first
    // rather than being laid over it: rows left underneath would look editable but never be saved.
    emptyForm();
    fields_.clear();
    onSave_ = std::move(onSave);
    sharedEmployees_ = profile.sharedEmployees;

    int y = kFirstRowY;
    int tag = 0;
    for (const FieldGetModel& field : profile.fields) {
        if (!field.fieldType) {
            continue;
        }
        const int height = rowHeight(*field.fieldType);
        auto* label = new QLabel(documentView_);
        label->setGeometry(kLabelX, y - 3, kLabelWidth, height);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        // The label's top sits above the control's; the margin puts its text level with the control's.
        label->setContentsMargins(0, 6, 0, 0);
        label->setText(label->fontMetrics().elidedText(field.displayName, Qt::ElideRight, kLabelWidth));
        label->setToolTip(field.displayName);
        QWidget* control = buildControl(field, *field.fieldType, y, tag);
        label->setBuddy(control);
        label->show();
        control->show();
        fields_.append(EditorField(control, field));
        y += height + kRowGap;
        ++tag;
    }

    setSpinning(false);
    showStatus({}, false);
    tryAgainAction_ = nullptr;
    saving_ = false;
    scrollView_->setEnabled(true);
    tableView_->setEnabled(true);
    saveButton_->setEnabled(true);
    scrollView_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    documentView_->resize(kDocumentWidth, y + kBottomMargin);
    reloadTable();
    rememberSavedState();
}

QWidget* Profile2WindowController::buildControl(const FieldGetModel& field, ProfileFieldType type, int y,
                                                int tag) {
    const QString value = field.value.value_or(QString());
    switch (type) {
        case ProfileFieldType::Text: {
            auto* text = new QLineEdit(value, documentView_);
            text->setGeometry(kControlX, y, kControlWidth, rowHeight(ProfileFieldType::Text));
            return text;
        }
        case ProfileFieldType::Image: {
            auto* change = new QPushButton(QStringLiteral("Change…"), documentView_);
            change->setGeometry(kControlX, y, kImageButtonWidth, kImageButtonHeight);
            change->setAccessibleName(QStringLiteral("Change ") + field.displayName);
            auto* clear = new QPushButton(QStringLiteral("Clear"), documentView_);
            clear->setGeometry(kControlX + kImageButtonWidth, y, kImageButtonWidth, kImageButtonHeight);
            clear->setAccessibleName(QStringLiteral("Clear ") + field.displayName);
            for (QPushButton* button : {change, clear}) {
                button->setAutoDefault(false);
                button->setProperty("tag", tag);
                button->show();
            }
            QObject::connect(change, &QPushButton::clicked, documentView_,
                             [this, tag] { buttonChangeImage(tag); });
            QObject::connect(clear, &QPushButton::clicked, documentView_,
                             [this, tag] { buttonClearImage(tag); });

            auto* image = new ProfileImageView(documentView_);
            image->setGeometry(kControlX, y + kImageViewTop, kControlWidth, kImageViewHeight);
            // A value that is not Base64 shows an empty picture; the rest of the form is unaffected.
            if (const std::optional<QByteArray> data = ProfileImageCodec::decode(value)) {
                image->setImageData(*data);
            }
            image->setAccessibleName(field.displayName);
            return image;
        }
        case ProfileFieldType::List: {
            auto* list = new QComboBox(documentView_);
            list->setEditable(false);
            list->addItems(field.listItems);
            // Only the stored value is selected; a value that is not a choice selects none.
            list->setCurrentIndex(field.value ? static_cast<int>(field.listItems.indexOf(*field.value)) : -1);
            list->setGeometry(kControlX, y, kControlWidth, rowHeight(ProfileFieldType::List));
            return list;
        }
        case ProfileFieldType::Boolean:
            break;
    }
    auto* box = new QCheckBox(documentView_);
    box->setChecked(value == QLatin1String("true"));
    box->setAccessibleName(field.displayName);
    box->setGeometry(kControlX, y, kControlWidth, rowHeight(ProfileFieldType::Boolean));
    return box;
}

void Profile2WindowController::buttonChangeImage(int tag) {
    if (tag < 0 || tag >= fields_.size()) {
        return;
    }
    const QPointer<ProfileImageView> image = qobject_cast<ProfileImageView*>(fields_[tag].editor());
    if (!image) {
        return;
    }
    const OpenPanel panel = imagePanel();
    const std::optional<QString> path = chooseFile_(panel);
    // The dialog offers only the allowed types, but a typed-in name can still get past its filter.
    if (!path || path->isEmpty() || !panel.allows(*path)) {
        return;
    }
    // The dialog runs an event loop of its own: meanwhile a new profile may have replaced the form, or the
    // window may have closed and emptied it. The choice belongs to the row it was made for, or to none.
    if (!image || tag >= fields_.size() || fields_[tag].editor() != image.data()) {
        return;
    }
    image->setImageFile(*path);
    fields_[tag].setIsImageChanged(true);
}

void Profile2WindowController::buttonClearImage(int tag) {
    if (tag < 0 || tag >= fields_.size()) {
        return;
    }
    EditorField& row = fields_[tag];
    if (auto* image = qobject_cast<ProfileImageView*>(row.editor())) {
        image->clearImage();
        row.setIsImageChanged(true);
    }
}

std::optional<QString> Profile2WindowController::newValue(const EditorField& row) const {
    QWidget* editor = row.editor();
    // Only rows with a control of their type are built.
    if (!editor || !row.field().fieldType) {
        return std::nullopt;
    }
    switch (*row.field().fieldType) {
        case ProfileFieldType::Text:
            return static_cast<QLineEdit*>(editor)->text();
        case ProfileFieldType::Image: {
            if (!row.isImageChanged()) {
                return std::nullopt;
            }
            const auto* image = static_cast<ProfileImageView*>(editor);
            if (!image->hasImage()) {
                return QString();
            }
            // A picture that cannot be read or encoded is left as the service has it.
            return ProfileImageCodec::encode(image->loadImage());
        }
        case ProfileFieldType::List: {
            const auto* list = static_cast<QComboBox*>(editor);
            if (list->currentIndex() < 0) {
                return std::nullopt;
            }
            return list->currentText();
        }
        case ProfileFieldType::Boolean:
            return static_cast<QCheckBox*>(editor)->isChecked() ? QStringLiteral("true")
                                                                : QStringLiteral("false");
    }
    return std::nullopt;
}

void Profile2WindowController::setLoadFailure(const QString& reason, std::function<void()> tryAgain) {
    window();
    emptyForm();
    fields_.clear();
    sharedEmployees_.clear();
    reloadTable();
    onSave_ = nullptr;
    tryAgainAction_ = std::move(tryAgain);
    setSpinning(false);
    saveButton_->setEnabled(false);
    showStatus(QStringLiteral("Your profile could not be loaded: ") + reason,
               static_cast<bool>(tryAgainAction_));
}

void Profile2WindowController::tryAgainClick() {
    std::function<void()> action = std::move(tryAgainAction_);
    tryAgainAction_ = nullptr;
    if (!action) {
        return;
    }
    showStatus({}, false);
    setSpinning(true);
    action();
}

void Profile2WindowController::setSaveFinished(bool saved) {
    if (!saving_) {
        // The window was closed (and emptied) while the save was on its way.
        return;
    }
    saving_ = false;
    setSpinning(false);
    scrollView_->setEnabled(true);
    tableView_->setEnabled(true);
    saveButton_->setEnabled(static_cast<bool>(onSave_));
    if (!saved) {
        // The alert has said why; the user's changes stay on screen to be saved again.
        closeWhenSaved_ = false;
        return;
    }
    // What the service now has is what a later close compares against.
    for (EditorField& row : fields_) {
        FieldGetModel field = row.field();
        if (const std::optional<QString> value = newValue(row)) {
            field.value = *value;
        }
        row = EditorField(row.editor(), std::move(field));
    }
    for (int i = 0; i < tableView_->count() && i < sharedEmployees_.size(); ++i) {
        sharedEmployees_[i].selected = tableView_->item(i)->checkState() != Qt::Unchecked;
    }
    rememberSavedState();
    showStatus(QStringLiteral("Your profile has been saved. Orlin is updating your signatures now."), false);
    if (closeWhenSaved_) {
        closeWhenSaved_ = false;
        Close();
    }
}

QList<std::optional<QString>> Profile2WindowController::formValues() const {
    QList<std::optional<QString>> values;
    for (const EditorField& row : std::as_const(fields_)) {
        values.append(newValue(row));
    }
    return values;
}

QList<QUuid> Profile2WindowController::selectedEmployees() const {
    // Every row of the list keeps its own check state, seen on screen or not.
    QList<QUuid> selected;
    for (int i = 0; i < tableView_->count() && i < sharedEmployees_.size(); ++i) {
        if (tableView_->item(i)->checkState() != Qt::Unchecked) {
            selected.append(sharedEmployees_.at(i).id);
        }
    }
    return selected;
}

void Profile2WindowController::rememberSavedState() {
    // Compared with what the controls show rather than with the service's values: a control cannot show
    // every value ("TRUE", a choice not in the list, no value at all) and must not count as a change.
    savedValues_ = formValues();
    savedEmployees_ = selectedEmployees();
}

bool Profile2WindowController::hasUnsavedChanges() const {
    return onSave_ && (formValues() != savedValues_ || selectedEmployees() != savedEmployees_);
}

bool Profile2WindowController::mayClose() {
    // Changes already on their way to the service are not the user's to lose any more.
    if (saving_ || !hasUnsavedChanges()) {
        return true;
    }
    Alert alert;
    alert.messageText = QStringLiteral("Do you want to save the changes you made to your profile?");
    alert.informativeText = QStringLiteral("Your changes are lost if you don't save them.");
    alert.style = AlertStyle::Informational;
    alert.buttonTitles = {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")};
    switch (alerts_->runModal(alert).buttonIndex) {
        case 0:
            closeWhenSaved_ = true;
            save();
            return false;
        case 1:
            return true;
        default:
            return false;
    }
}

void Profile2WindowController::save() {
    // Before a profile has arrived there is nothing the user could have changed.
    if (!onSave_) {
        Close();
        return;
    }
    const SaveAction onSave = onSave_;
    // The form holds still while the service has it, so what it shows afterwards is what was saved.
    saving_ = true;
    saveButton_->setEnabled(false);
    scrollView_->setEnabled(false);
    tableView_->setEnabled(false);
    showStatus({}, false);
    setSpinning(true);
    onSave(changes());
}

ProfileUpdateModel Profile2WindowController::changes() const {
    QList<FieldUpdateModel> changed;
    for (const EditorField& row : std::as_const(fields_)) {
        const std::optional<QString> value = newValue(row);
        if (!value) {
            continue;
        }
        const std::optional<QString>& loaded = row.field().value;
        if (loaded && *loaded == *value) {
            continue;
        }
        changed.append(FieldUpdateModel(row.field().code, *value));
    }

    return ProfileUpdateModel(std::move(changed), selectedEmployees());
}

void Profile2WindowController::Close() {
    window().close();
}

void Profile2WindowController::windowWillClose() {
    setSpinning(true);
    showStatus({}, false);
    tryAgainAction_ = nullptr;
    saving_ = false;
    closeWhenSaved_ = false;
    scrollView_->setEnabled(true);
    tableView_->setEnabled(true);
    saveButton_->setEnabled(false);
    emptyForm();
    sharedEmployees_.clear();
    reloadTable();
    // The emptied form can no longer be saved: a save before the next profile arrives must not send
    // the last form's edits, or an employee list that the emptied table would make empty.
    fields_.clear();
    onSave_ = nullptr;
}

void Profile2WindowController::emptyForm() {
    const QList<QWidget*> children = documentView_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        delete child;
    }
    documentView_->resize(kDocumentWidth, kFirstRowY + kBottomMargin);
}

void Profile2WindowController::reloadTable() {
    tableView_->clear();
    for (const SharedEmployeeGetModel& employee : std::as_const(sharedEmployees_)) {
        auto* row = new QListWidgetItem(employee.employeeDisplayName, tableView_);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(employee.selected ? Qt::Checked : Qt::Unchecked);
    }
}
