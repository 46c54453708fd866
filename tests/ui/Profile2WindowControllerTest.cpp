#include "Profile2WindowController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <functional>

#include "ProfileImageView.h"
#include "ProfileTestSupport.h"
#include "ProfileUpdateModel.h"
#include "ScriptedAlertPresenter.h"

namespace {

using profiletest::employee;
using profiletest::field;
using profiletest::profile;

class Profile2WindowControllerTest : public ::testing::Test {
protected:
    ScriptedAlertPresenter alerts;
    Profile2WindowController editor{[this](const OpenPanel& panel) {
                                        panels.append(panel);
                                        if (whilePanelOpen) {
                                            whilePanelOpen();
                                        }
                                        return chosenFile;
                                    },
                                    &alerts};
    QList<OpenPanel> panels;
    std::optional<QString> chosenFile;
    // What happens while the user is still choosing a file.
    std::function<void()> whilePanelOpen;
    QList<ProfileUpdateModel> saved;

    WindowController::SaveAction recordSave() {
        return [this](const ProfileUpdateModel& model) { saved.append(model); };
    }

    QHash<QString, QString> savedFields() const {
        QHash<QString, QString> result;
        for (const FieldUpdateModel& changed : saved.constLast().fields()) {
            result.insert(changed.code(), changed.value());
        }
        return result;
    }

    template <typename Control>
    Control* editorAt(int index) const {
        auto* control = qobject_cast<Control*>(editor.fields().at(index).editor());
        EXPECT_NE(control, nullptr) << "row " << index;
        return control;
    }

    QPushButton* button(const QString& title) const {
        for (QPushButton* candidate : editor.documentView()->findChildren<QPushButton*>()) {
            if (candidate->text() == title) {
                return candidate;
            }
        }
        return nullptr;
    }

    QLabel* labelTitled(const QString& text) const {
        for (QLabel* label : editor.documentView()->findChildren<QLabel*>()) {
            if (label->toolTip() == text && !qobject_cast<ProfileImageView*>(label)) {
                return label;
            }
        }
        return nullptr;
    }

    QString writePicture(const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = folder.filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    QTemporaryDir folder;
};

TEST_F(Profile2WindowControllerTest, UnknownTypesAreLeftOutAndTheImageButtonsActOnTheirOwnRow) {
    const QString picture = profiletest::pngBase64({8, 8}, Qt::red);
    editor.showWindow();
    EXPECT_TRUE(editor.isSpinning());
    editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann")),
                              field(QStringLiteral("video"), 5, QStringLiteral("x")),
                              field(QStringLiteral("photo"), 2, picture)}),
                     recordSave());

    EXPECT_FALSE(editor.isSpinning());
    ASSERT_EQ(editor.fields().size(), 2);
    EXPECT_EQ(editor.fields().at(1).field().code, QStringLiteral("photo"));
    EXPECT_EQ(labelTitled(QStringLiteral("video label")), nullptr);
    QPushButton* change = button(QStringLiteral("Change…"));
    QPushButton* clear = button(QStringLiteral("Clear"));
    ASSERT_TRUE(change && clear);
    EXPECT_EQ(change->property("tag").toInt(), 1);
    EXPECT_EQ(clear->property("tag").toInt(), 1);

    auto* image = editorAt<ProfileImageView>(1);
    EXPECT_TRUE(image->hasImage());
    EXPECT_FALSE(image->pixmap().isNull());
    clear->click();
    EXPECT_FALSE(image->hasImage());
    EXPECT_TRUE(image->pixmap().isNull());
    EXPECT_TRUE(editor.fields().at(1).isImageChanged());
    EXPECT_FALSE(editor.fields().at(0).isImageChanged());

    chosenFile = writePicture(QStringLiteral("me.png"), {40, 30});
    change->click();
    EXPECT_EQ(image->imageFile(), *chosenFile);
    EXPECT_FALSE(image->pixmap().isNull());

    // The text row has no picture: an image action aimed at it changes nothing.
    editor.buttonClearImage(0);
    editor.buttonChangeImage(0);
    EXPECT_FALSE(editor.fields().at(0).isImageChanged());
    EXPECT_EQ(panels.size(), 1);
    EXPECT_EQ(editorAt<QLineEdit>(0)->text(), QStringLiteral("Ann"));
}

TEST_F(Profile2WindowControllerTest, RowsFollowTheGeometryTable) {
    editor.setFields(
        profile({field(QStringLiteral("t"), 1, std::nullopt),
                 field(QStringLiteral("l"), 3, std::nullopt, {QStringLiteral("a")}),
                 field(QStringLiteral("b"), 4, std::nullopt), field(QStringLiteral("i"), 2, std::nullopt)}),
        recordSave());
    ASSERT_EQ(editor.fields().size(), 4);
    EXPECT_EQ(editor.fields().at(0).editor()->geometry(), QRect(228, 18, 200, 22));
    EXPECT_EQ(labelTitled(QStringLiteral("t label"))->geometry(), QRect(20, 15, 200, 22));
    EXPECT_EQ(editor.fields().at(1).editor()->geometry(), QRect(228, 48, 200, 26));
    EXPECT_EQ(labelTitled(QStringLiteral("l label"))->geometry(), QRect(20, 45, 200, 26));
    EXPECT_EQ(editor.fields().at(2).editor()->geometry(), QRect(228, 82, 200, 22));
    EXPECT_EQ(editor.fields().at(3).editor()->geometry(), QRect(228, 138, 200, 75));
    EXPECT_EQ(button(QStringLiteral("Change…"))->geometry(), QRect(228, 112, 100, 22));
    EXPECT_EQ(button(QStringLiteral("Clear"))->geometry(), QRect(328, 112, 100, 22));
    EXPECT_EQ(labelTitled(QStringLiteral("i label"))->geometry(), QRect(20, 109, 200, 101));
    EXPECT_EQ(editor.documentView()->size(), QSize(456, 112 + 101 + 8 + 20));
}

TEST_F(Profile2WindowControllerTest, AnEmptyProfileIs456By38AndSavesAnEmptyFieldList) {
    editor.setFields(profile({}), recordSave());
    EXPECT_EQ(editor.documentView()->size(), QSize(456, 38));
    editor.save();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved.constFirst().fields().isEmpty());
    EXPECT_TRUE(saved.constFirst().sharedEmployees().isEmpty());
}

TEST_F(Profile2WindowControllerTest, OnlyChangedFieldsAreSentAndFieldsLoadedWithoutAValueAlways) {
    const QStringList sizes = {QStringLiteral("S"), QStringLiteral("M"), QStringLiteral("L")};
    editor.showWindow();
    editor.setFields(profile({
                         field(QStringLiteral("kept"), 1, QStringLiteral("same")),
                         field(QStringLiteral("edited"), 1, QStringLiteral("old")),
                         field(QStringLiteral("absent"), 1, std::nullopt),
                         field(QStringLiteral("photo"), 2, std::nullopt),
                         field(QStringLiteral("unlisted"), 3, QStringLiteral("XL"), sizes),
                         field(QStringLiteral("noChoice"), 3, std::nullopt, sizes),
                         field(QStringLiteral("listed"), 3, QStringLiteral("M"), sizes),
                         field(QStringLiteral("picked"), 3, QStringLiteral("M"), sizes),
                         field(QStringLiteral("upper"), 4, QStringLiteral("TRUE")),
                         field(QStringLiteral("on"), 4, QStringLiteral("true")),
                         field(QStringLiteral("switched"), 4, QStringLiteral("false")),
                         field(QStringLiteral("flagAbsent"), 4, std::nullopt),
                     }),
                     recordSave());
    EXPECT_EQ(editorAt<QComboBox>(4)->currentIndex(), -1) << "a value that is not a choice selects none";
    EXPECT_EQ(editorAt<QComboBox>(5)->currentIndex(), -1);
    EXPECT_EQ(editorAt<QComboBox>(6)->currentText(), QStringLiteral("M"));
    EXPECT_FALSE(editorAt<QComboBox>(6)->isEditable());
    EXPECT_FALSE(editorAt<QCheckBox>(8)->isChecked()) << "only the exact text \"true\" ticks the box";
    EXPECT_TRUE(editorAt<QCheckBox>(9)->isChecked());
    EXPECT_TRUE(editorAt<QCheckBox>(9)->text().isEmpty());

    editorAt<QLineEdit>(1)->setText(QStringLiteral("new"));
    editorAt<QComboBox>(7)->setCurrentIndex(2);
    editorAt<QCheckBox>(10)->click();
    editor.save();

    ASSERT_EQ(saved.size(), 1);
    const QHash<QString, QString> sent = savedFields();
    EXPECT_EQ(sent, (QHash<QString, QString>{{QStringLiteral("edited"), QStringLiteral("new")},
                                             {QStringLiteral("absent"), QString()},
                                             {QStringLiteral("picked"), QStringLiteral("L")},
                                             {QStringLiteral("upper"), QStringLiteral("false")},
                                             {QStringLiteral("switched"), QStringLiteral("true")},
                                             {QStringLiteral("flagAbsent"), QStringLiteral("false")}}));
    QStringList order;
    for (const FieldUpdateModel& changed : saved.constFirst().fields()) {
        order.append(changed.code());
    }
    EXPECT_EQ(order, (QStringList{QStringLiteral("edited"), QStringLiteral("absent"),
                                  QStringLiteral("picked"), QStringLiteral("upper"),
                                  QStringLiteral("switched"), QStringLiteral("flagAbsent")}))
        << "fields keep the form's order";
    EXPECT_TRUE(editor.window().isVisible()) << "the window waits for the service's answer";
}

TEST_F(Profile2WindowControllerTest, PicturesAreSentOnlyWhenChangedAsFullQualityJpegInCrLfLines) {
    const QString picture = profiletest::pngBase64({16, 16}, Qt::red);
    QString wrapped = picture;
    wrapped.insert(8, QLatin1Char('\n'));
    editor.setFields(
        profile({field(QStringLiteral("untouched"), 2, picture), field(QStringLiteral("cleared"), 2, picture),
                 field(QStringLiteral("wasEmpty"), 2, QString()),
                 field(QStringLiteral("chosen"), 2, std::nullopt),
                 field(QStringLiteral("unreadable"), 2, std::nullopt),
                 field(QStringLiteral("wrapped"), 2, wrapped),
                 field(QStringLiteral("after"), 1, std::nullopt)}),
        recordSave());
    ASSERT_EQ(editor.fields().size(), 7) << "a value that is not strict Base64 does not stop the form";
    EXPECT_FALSE(editorAt<ProfileImageView>(5)->hasImage());
    EXPECT_TRUE(editorAt<ProfileImageView>(5)->pixmap().isNull());

    editor.buttonClearImage(1);
    editor.buttonClearImage(2);
    chosenFile = writePicture(QStringLiteral("big.png"), {300, 200});
    editor.buttonChangeImage(3);
    QFile notAPicture(folder.filePath(QStringLiteral("broken.png")));
    ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
    notAPicture.write("not a picture");
    notAPicture.close();
    chosenFile = notAPicture.fileName();
    editor.buttonChangeImage(4);
    editor.save();

    const QHash<QString, QString> sent = savedFields();
    EXPECT_EQ(sent.keys().size(), 3) << QStringList(sent.keys()).join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(sent.value(QStringLiteral("cleared"), QStringLiteral("missing")), QString());
    EXPECT_TRUE(sent.contains(QStringLiteral("after"))) << "a picture that cannot be read drops only itself";
    ASSERT_TRUE(sent.contains(QStringLiteral("chosen")));

    const QString encoded = sent.value(QStringLiteral("chosen"));
    const QStringList lines = encoded.split(QStringLiteral("\r\n"));
    ASSERT_GT(lines.size(), 1);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines.at(i).size(), 64) << "line " << i;
    }
    EXPECT_LE(lines.constLast().size(), 64);
    EXPECT_FALSE(encoded.endsWith(QStringLiteral("\r\n")));
    const QByteArray jpeg = QByteArray::fromBase64(lines.join(QString()).toLatin1());
    EXPECT_TRUE(jpeg.startsWith("\xFF\xD8\xFF")) << "JPEG data";
    const QImage sentImage = QImage::fromData(jpeg, "JPEG");
    EXPECT_EQ(sentImage.size(), QSize(300, 200)) << "neither scaled nor cropped";
    EXPECT_NEAR(QColor(sentImage.pixel(150, 100)).green(), QColor(Qt::darkCyan).green(), 3)
        << "full quality keeps the colour";
}

TEST_F(Profile2WindowControllerTest, TheOpenPanelOffersJpgAndPngOnlyAndCancelChangesNothing) {
    editor.setFields(profile({field(QStringLiteral("photo"), 2, std::nullopt)}), recordSave());
    chosenFile = std::nullopt;
    editor.buttonChangeImage(0);
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels.constFirst().allowedFileTypes,
              (QStringList{QStringLiteral("jpg"), QStringLiteral("png")}));
    EXPECT_FALSE(panels.constFirst().allowsMultipleSelection);
    EXPECT_FALSE(panels.constFirst().showsHiddenFiles);
    EXPECT_EQ(panels.constFirst().nameFilter(), QStringLiteral("Images (*.jpg *.png)"));
    EXPECT_FALSE(editor.fields().constFirst().isImageChanged());

    chosenFile = folder.filePath(QStringLiteral("photo.jpeg"));
    editor.buttonChangeImage(0);
    EXPECT_FALSE(editor.fields().constFirst().isImageChanged()) << "the four-letter extension is not offered";
    chosenFile = writePicture(QStringLiteral("PHOTO.PNG"), {4, 4});
    editor.buttonChangeImage(0);
    EXPECT_TRUE(editor.fields().constFirst().isImageChanged());
}

TEST_F(Profile2WindowControllerTest, AFormReplacedOrClosedWhileChangeIsOpenIsNotTouchedByTheChoice) {
    editor.showWindow();
    chosenFile = writePicture(QStringLiteral("me.png"), {10, 10});
    const auto firstForm = [this] {
        editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann")),
                                  field(QStringLiteral("photo"), 2, std::nullopt)}),
                         recordSave());
    };

    // The user chose the profile item again; its answer arrives while the file dialog is still up.
    firstForm();
    whilePanelOpen = [this] {
        editor.setFields(profile({field(QStringLiteral("photo"), 2, std::nullopt),
                                  field(QStringLiteral("logo"), 2, std::nullopt)}),
                         recordSave());
    };
    button(QStringLiteral("Change…"))->click();
    ASSERT_EQ(editor.fields().size(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_FALSE(editor.fields().at(row).isImageChanged()) << "the picture was chosen for another form";
        EXPECT_FALSE(editorAt<ProfileImageView>(row)->hasImage());
    }

    firstForm();
    whilePanelOpen = [this] { editor.Close(); };
    editor.buttonChangeImage(1);
    EXPECT_TRUE(editor.fields().isEmpty());
    EXPECT_TRUE(editor.documentView()->findChildren<QWidget*>().isEmpty());
}

TEST_F(Profile2WindowControllerTest, OnASmallScreenTheButtonsStayInReachAndTheFormScrollsThroughEveryRow) {
    // 1280 x 800 at twice the scale leaves 640 x 400, less a panel and a title bar.
    constexpr int kRoom = 400 - 32 - 38;
    editor.centerWindow();
    editor.showWindow();
    QList<FieldGetModel> fields;
    for (int i = 0; i < 6; ++i) {
        fields.append(field(QStringLiteral("text%1").arg(i), 1, QStringLiteral("value")));
    }
    fields.append(field(QStringLiteral("logo"), 2, std::nullopt));
    fields.append(field(QStringLiteral("email"), 1, QStringLiteral("ann@example.com")));
    editor.setFields(
        profile(fields, {employee(QStringLiteral("Bo"), true), employee(QStringLiteral("Cy"), false),
                         employee(QStringLiteral("Di"), false)}),
        recordSave());
    QDialog& window = editor.window();
    ASSERT_LE(window.minimumSizeHint().height(), kRoom);
    window.resize(window.width(), kRoom);
    window.layout()->activate();

    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->parentWidget() != editor.documentView()) {
            EXPECT_TRUE(window.rect().contains(QRect(button->mapTo(&window, QPoint(0, 0)), button->size())))
                << button->text().toStdString();
        }
    }
    QWidget* email = editor.fields().constLast().editor();
    QScrollArea& form = *editor.scrollView();
    form.verticalScrollBar()->setValue(form.verticalScrollBar()->maximum());
    const QRect shown(email->mapTo(form.viewport(), QPoint(0, 0)), email->size());
    EXPECT_TRUE(form.viewport()->rect().contains(shown)) << "the last row can be scrolled into view";
}

// The first size is made before the window manager adds its title bar, so on a screen lower than the
// preferred height and a bar together it leaves room for one, and uses the rest.
TEST_F(Profile2WindowControllerTest, OnAScreenUnder640PixelsTheFirstSizeLeavesRoomForTheTitleBar) {
    constexpr int kTitleBar = 38;
    // 1280 x 800 at twice the scale less a panel, and a low external screen, both under 640 pixels.
    for (const QRect& available : {QRect(0, 32, 640, 368), QRect(1000, 0, 1024, 600)}) {
        SCOPED_TRACE(available.height());
        editor.centerWindowIn(available);
        const QRect placed = editor.window().geometry();
        EXPECT_LE(placed.height() + kTitleBar, available.height());
        EXPECT_GE(placed.height() + kTitleBar + 8, available.height()) << "the rest of the screen is used";
        EXPECT_TRUE(available.contains(placed));
    }
    editor.centerWindowIn(QRect(0, 0, 1440, 900));
    EXPECT_EQ(editor.window().height(), 600) << "a taller screen gets the preferred height";
}

TEST_F(Profile2WindowControllerTest, EveryEmployeeRowContributesItsLastCheckState) {
    const QList<SharedEmployeeGetModel> employees = {employee(QStringLiteral("Ann"), true),
                                                     employee(QStringLiteral("Bo"), false),
                                                     employee(QStringLiteral("Cy"), true)};
    editor.showWindow();
    editor.setFields(profile({}, employees), recordSave());
    QListWidget& table = *editor.tableView();
    ASSERT_EQ(table.count(), 3);
    EXPECT_EQ(table.item(0)->text(), QStringLiteral("Ann"));
    EXPECT_EQ(table.item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(table.item(1)->checkState(), Qt::Unchecked);

    table.item(0)->setCheckState(Qt::Unchecked);
    table.item(1)->setCheckState(Qt::Checked);
    editor.save();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved.constFirst().sharedEmployees(), (QList<QUuid>{employees.at(1).id, employees.at(2).id}));
}

TEST_F(Profile2WindowControllerTest, ClosingEmptiesTheFormAndASaveBeforeTheNextProfileSendsNothing) {
    editor.showWindow();
    editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann"))},
                             {employee(QStringLiteral("Bo"), true)}),
                     recordSave());
    editorAt<QLineEdit>(0)->setText(QStringLiteral("edited, then closed"));
    alerts.enqueueAnswer({.buttonIndex = 1, .suppressionChecked = false});  // Discard
    editor.Close();

    EXPECT_FALSE(editor.window().isVisible());
    EXPECT_TRUE(editor.isSpinning());
    EXPECT_TRUE(editor.documentView()->findChildren<QWidget*>().isEmpty());
    EXPECT_TRUE(editor.sharedEmployees().isEmpty());
    EXPECT_EQ(editor.tableView()->count(), 0);

    // Shown again while the profile is on its way: saving must not resend the closed form, nor an empty
    // employee list that would untick Bo on the service.
    editor.showWindow();
    editor.save();
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_FALSE(editor.window().isVisible());
}

TEST_F(Profile2WindowControllerTest, AFailedLoadSaysWhyOffersTryAgainAndCannotBeSaved) {
    editor.showWindow();
    int retries = 0;
    editor.setLoadFailure(QStringLiteral("The Orlin service is down."), [&] { ++retries; });
    EXPECT_TRUE(editor.statusLabel()->isVisible());
    EXPECT_EQ(editor.statusLabel()->text(),
              QStringLiteral("Your profile could not be loaded: The Orlin service is down."));
    EXPECT_FALSE(editor.isSpinning());
    EXPECT_FALSE(editor.saveButton()->isEnabled());
    editor.saveButton()->click();
    EXPECT_TRUE(editor.window().isVisible()) << "a disabled Save does not close the window";

    editor.tryAgainButton()->click();
    EXPECT_EQ(retries, 1);
    EXPECT_TRUE(editor.isSpinning());
    EXPECT_FALSE(editor.statusLabel()->isVisible());
    EXPECT_FALSE(editor.tryAgainButton()->isVisible());

    editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann"))}), recordSave());
    EXPECT_TRUE(editor.saveButton()->isEnabled());
    EXPECT_FALSE(editor.statusLabel()->isVisible());
    editor.Close();
    EXPECT_TRUE(alerts.shownAlerts().isEmpty()) << "nothing changed, nothing to ask";
}

TEST_F(Profile2WindowControllerTest, EscapeOrCloseWithUnsavedChangesAsksSaveDiscardOrCancel) {
    const auto open = [this] {
        editor.showWindow();
        editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann")),
                                  field(QStringLiteral("phone"), 1, std::nullopt),
                                  field(QStringLiteral("remote"), 4, QStringLiteral("TRUE"))},
                                 {employee(QStringLiteral("Bo"), true)}),
                         recordSave());
    };
    open();
    EXPECT_FALSE(editor.hasUnsavedChanges()) << "values the controls cannot show are no edits";
    editor.tableView()->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(editor.hasUnsavedChanges());
    editor.tableView()->item(0)->setCheckState(Qt::Checked);
    editorAt<QLineEdit>(0)->setText(QStringLiteral("Anne"));

    alerts.enqueueAnswer({.buttonIndex = 2, .suppressionChecked = false});  // Cancel
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&editor.window(), &escape);
    ASSERT_EQ(alerts.shownAlerts().size(), 1);
    EXPECT_EQ(alerts.shownAlerts().constFirst().effectiveButtonTitles(),
              (QStringList{QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")}));
    EXPECT_TRUE(editor.window().isVisible());
    EXPECT_EQ(editorAt<QLineEdit>(0)->text(), QStringLiteral("Anne"));

    // Save: the window waits for the service, and closes once the changes are there.
    alerts.enqueueAnswer({.buttonIndex = 0, .suppressionChecked = false});
    editor.window().close();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(savedFields().value(QStringLiteral("name")), QStringLiteral("Anne"));
    EXPECT_TRUE(editor.window().isVisible());
    editor.setSaveFinished(true);
    EXPECT_FALSE(editor.window().isVisible());

    open();
    editorAt<QLineEdit>(0)->setText(QStringLiteral("dropped"));
    alerts.enqueueAnswer({.buttonIndex = 1, .suppressionChecked = false});  // Discard
    editor.Close();
    EXPECT_FALSE(editor.window().isVisible());
    EXPECT_EQ(saved.size(), 1);
    EXPECT_EQ(alerts.shownAlerts().size(), 3);
}

TEST_F(Profile2WindowControllerTest, ASaveSaysWhenItIsDoneAndAFailedOneKeepsTheChangesToSaveAgain) {
    editor.showWindow();
    editor.setFields(profile({field(QStringLiteral("name"), 1, QStringLiteral("Ann"))}), recordSave());
    editorAt<QLineEdit>(0)->setText(QStringLiteral("Anne"));
    editor.saveButton()->click();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(editor.window().isVisible());
    EXPECT_TRUE(editor.isSpinning());
    EXPECT_FALSE(editor.saveButton()->isEnabled());

    editor.setSaveFinished(false);
    EXPECT_FALSE(editor.isSpinning());
    EXPECT_TRUE(editor.saveButton()->isEnabled());
    EXPECT_EQ(editorAt<QLineEdit>(0)->text(), QStringLiteral("Anne"));
    EXPECT_TRUE(editor.hasUnsavedChanges());

    editor.saveButton()->click();
    ASSERT_EQ(saved.size(), 2);
    editor.setSaveFinished(true);
    EXPECT_TRUE(editor.statusLabel()->isVisible());
    EXPECT_TRUE(editor.statusLabel()->text().contains(QStringLiteral("saved")));
    EXPECT_FALSE(editor.hasUnsavedChanges());
    editor.saveButton()->click();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_TRUE(saved.constLast().fields().isEmpty()) << "a saved value is not sent again";
    editor.setSaveFinished(true);
    editor.Close();
    EXPECT_TRUE(alerts.shownAlerts().isEmpty());
    EXPECT_FALSE(editor.window().isVisible());
}

TEST_F(Profile2WindowControllerTest, ASecondProfileReplacesTheFirstInsteadOfLyingOverIt) {
    editor.showWindow();
    editor.setFields(profile({field(QStringLiteral("a"), 1, QStringLiteral("1")),
                              field(QStringLiteral("b"), 2, std::nullopt)}),
                     recordSave());
    editor.setFields(profile({field(QStringLiteral("c"), 4, QStringLiteral("true"))}), recordSave());
    EXPECT_EQ(editor.fields().size(), 1);
    EXPECT_EQ(editor.documentView()->findChildren<QLabel*>().size(), 1);
    EXPECT_EQ(editor.documentView()->findChildren<QPushButton*>().size(), 0);
    EXPECT_EQ(editor.documentView()->size(), QSize(456, 18 + 22 + 8 + 20));
}

}  // namespace
