#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>
#include <filesystem>

#include "app/gui/main_window.h"
#include "app/gui/point_mark_model.h"
#include "scripted_questions.h"
#include "tests/support/gui_application.h"
#include "tests/support/temporary_directory.h"
#include "tests/support/test_data.h"

namespace {

// The main window with its file dialog answered by the test and its message boxes recorded.
class TXmlTestForm : public TMainForm {
public:
    QStringList nextFileNames;
    std::vector<QString> messages;

protected:
    QStringList execFileDialog(QFileDialog&) override { return nextFileNames; }
    void showMessage(QMessageBox::Icon, const QString& text) override { messages.push_back(text); }
    int askQuestion(const QString& text, const QStringList& buttons, int) override {
        return questions.answer(text, buttons);
    }

public:
    TScriptedQuestions questions;
};

class XmlLoadWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guiApplication();
        std::filesystem::copy_file(testDataPath("app/xml/velmar.dtd"), dir_.path("velmar.dtd"));
        form = std::make_unique<TXmlTestForm>();
        form->show();
    }
    void TearDown() override { form.reset(); }
    // A point-mark file with records whose cells are TAG + row number.
    std::string writeRecords(const std::string& name, int records, const std::string& tag) {
        TMainFormCore source;
        source.Table.RecordCount = records;
        source.Table.setRowCount(records + 1);
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < kColumnCount; ++c) source.Table.setCell(c, r, tag + std::to_string(r));
        const std::string path = dir_.path(name);
        source.SaveFile(path);
        return path;
    }
    void drop(const std::vector<std::string>& names) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& name : names) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(name)));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &event);
    }

    std::unique_ptr<TXmlTestForm> form;
    TemporaryDirectory dir_{"pm-gui-xml"};
};

} // namespace

TEST_F(XmlLoadWindowTest, DroppedXmlFilesAreAppendedAndShown) {
    const std::string first = writeRecords("first.xml", 2, "a");
    const std::string second = writeRecords("second.xml", 1, "b");
    form->nextFileNames = {QString::fromStdString(first)};
    form->FileLoadXMLClick();
    drop({first, second});
    EXPECT_TRUE(form->messages.empty());
    EXPECT_EQ(form->Core.Table.RecordCount, 5);
    EXPECT_EQ(form->Core.Table.cell(4, 3), "a1");
    EXPECT_EQ(form->Core.Table.cell(4, 5), "b1");
    // The grid shows every record below its header.
    EXPECT_EQ(form->Model->rowCount(), 5);
    EXPECT_EQ(form->Model->data(form->Model->index(4, 4)).toString(), "b1");
    EXPECT_FALSE(form->MessagePanel->isVisible());
}

TEST_F(XmlLoadWindowTest, MessagePanelShowsTheMessagesOfAFailedRead) {
    const std::string good = writeRecords("good.xml", 1, "g");
    std::filesystem::create_directory(dir_.path("elsewhere"));
    const std::string lost = dir_.path("elsewhere/lost.xml");
    std::filesystem::copy_file(good, lost);

    EXPECT_FALSE(form->MessagePanel->isVisible());
    form->nextFileNames = {QString::fromStdString(lost)};
    form->FileLoadXMLClick();
    EXPECT_TRUE(form->MessagePanel->isVisible());
    // The built-in definition reads the file; the panel says so.
    EXPECT_TRUE(form->Memo1->toPlainText().contains("velmar.dtd was not found beside"))
        << form->Memo1->toPlainText().toStdString();
    EXPECT_EQ(form->Memo1->document()->lineCount(), 1);
    EXPECT_EQ(form->Core.Table.RecordCount, 1);

    // The user closes it; the menu item brings it back with the same lines.
    form->MessagePanel->close();
    EXPECT_FALSE(form->MessagePanel->isVisible());
    form->HelpMessages->trigger();
    EXPECT_TRUE(form->MessagePanel->isVisible());
    EXPECT_TRUE(form->Memo1->toPlainText().contains("lost.xml"));

    // A read without messages empties and hides it; a CSV read leaves it alone.
    form->nextFileNames = {QString::fromStdString(good)};
    form->FileAddClick();
    EXPECT_FALSE(form->MessagePanel->isVisible());
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(form->Core.Table.cell(0, 1), "g1");

    // A file that cannot be opened goes to the message box.
    form->nextFileNames = {QString::fromStdString(dir_.path("missing.xml"))};
    form->FileLoadXMLClick();
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].contains("missing.xml"));
}
