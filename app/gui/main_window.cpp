#include "app/gui/main_window.h"

#include <QAction>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>

#include "app/common.h"
#include "app/gui/about_box.h"
#include "app/gui/fonts.h"
#include "app/gui/form_sort.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/string_grid.h"
#include "app/point_mark_writer.h"
#include "text/code_page_932.h"

const char* const kApplicationTitle = "XML Editor for ORVEX's Point Mark";

namespace {

// The file-dialog filters: display text and pattern in pairs, in Qt's "text (pattern)" form.
const QStringList kLoadFilters = {"xmlドキュメント(*.xml)", "csv文書(*.csv)", "すべてのファイル(*.*)"};
const QStringList kSaveFilters = {"xml文書(*.xml)", "csv文書(*.csv)"};

std::string toFileName(const QString& name) { return name.toUtf8().toStdString(); }

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle(kApplicationTitle);
    resize(828, 713);
    move(280, 286);
    setFont(mapFont(EFontFace::pGothic, 12));

    StringGridXML = new TStringGrid(this);
    StringGridXML->setObjectName("StringGridXML");
    StringGridXML->setFont(mapFont(EFontFace::gothic, 13));
    Model = new TPointMarkModel(Core.Table, this);
    StringGridXML->setModel(Model);
    for (int c = 0; c < kColumnCount; ++c) StringGridXML->setColumnWidth(c, columnWidth(c));
    StringGridXML->horizontalHeader()->setFont(StringGridXML->font());
    StringGridXML->horizontalHeader()->setFixedHeight(19);
    setCentralWidget(StringGridXML);
    StringGridXML->OnEnter = [this] { StringGridXMLKeyDown(); };
    connect(StringGridXML->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { StringGridXMLSelectCell(current); });
    // A reset (after a load) loses the grid's current cell; put it back at the same position,
    // as near as the new table allows, so that the selected row and Enter keep working.
    connect(Model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex current = StringGridXML->currentIndex();
        cellBeforeReset_ = current.isValid() ? QPoint(current.column(), current.row()) : QPoint(-1, -1);
    });
    connect(Model, &QAbstractItemModel::modelReset, this, [this] {
        if (cellBeforeReset_.y() < 0 || Model->rowCount() == 0) return;
        StringGridXML->setCurrentIndex(
            Model->index(std::min(cellBeforeReset_.y(), Model->rowCount() - 1), cellBeforeReset_.x()));
    });

    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->setFixedHeight(19);
    statusBar()->addWidget(StatusLabel, 1);

    OpenDialogXML = createFileDialog("OpenDialogXML", QFileDialog::AcceptOpen);
    OpenDialogXML->setFileMode(QFileDialog::ExistingFiles);
    OpenDialogXML->setDirectory(".");
    OpenDialogAdd = createFileDialog("OpenDialogAdd", QFileDialog::AcceptOpen);
    OpenDialogAdd->setFileMode(QFileDialog::ExistingFile);
    SaveDialogXML = createFileDialog("SaveDialogXML", QFileDialog::AcceptSave);
    SaveDialogXML->setFileMode(QFileDialog::AnyFile);
    SaveDialogXML->setDefaultSuffix(QString());
    SaveDialogXML->setOption(QFileDialog::DontConfirmOverwrite, true);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    MessagePanel = new QDockWidget(QString::fromUtf8("メッセージ"), this);
    MessagePanel->setObjectName("MessagePanel");
    MessagePanel->setFeatures(QDockWidget::DockWidgetClosable);
    MessagePanel->setAllowedAreas(Qt::BottomDockWidgetArea);
    MessagePanel->setWidget(Memo1);
    addDockWidget(Qt::BottomDockWidgetArea, MessagePanel);
    MessagePanel->hide();

    createMenus();
    AboutBox = new TAboutBox(this);
    FormSort = new TFormSort(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    Timer1->start();
    Timer1Timer();

    setAcceptDrops(true);
    StringGridXML->setCurrentIndex(Model->index(Core.Table.SelectedRow - Core.Table.fixedRows(), 0));
}

TMainForm::~TMainForm() {
    // The model refers to the table in Core, which goes before the window's children do.
    StringGridXML->setModel(nullptr);
    delete Model;
}

QFileDialog* TMainForm::createFileDialog(const char* objectName, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(this);
    dialog->setObjectName(objectName);
    dialog->setAcceptMode(mode);
    return dialog;
}

void TMainForm::createMenus() {
    auto action = [this](QMenu* menu, const char* objectName, const char* caption, QKeySequence shortcut,
                         void (TMainForm::*slot)()) {
        QAction* item = menu->addAction(QString::fromUtf8(caption));
        item->setObjectName(objectName);
        item->setShortcut(shortcut);
        item->setShortcutContext(Qt::WindowShortcut);
        connect(item, &QAction::triggered, this, slot);
        return item;
    };
    menuBar()->setObjectName("MainMenu1");
    MenuFile = menuBar()->addMenu("ファイル");
    MenuFile->setObjectName("File");
    FileLoadXML = action(MenuFile, "FileLoadXML", "ファイル読込", QKeySequence(), &TMainForm::FileLoadXMLClick);
    FileAdd = action(MenuFile, "FileAdd", "ファイル追加", QKeySequence(), &TMainForm::FileAddClick);
    FileSaveXML = action(MenuFile, "FileSaveXML", "ファイル保存", QKeySequence(Qt::CTRL | Qt::Key_S),
                         &TMainForm::FileSaveXMLClick);
    FileExit = action(MenuFile, "FileExit", "終了", QKeySequence(Qt::CTRL | Qt::Key_Q), &TMainForm::FileExitClick);
    MenuEdit = menuBar()->addMenu("編集");
    MenuEdit->setObjectName("Edit");
    EditSort = action(MenuEdit, "EditSort", "並び替え", QKeySequence(), &TMainForm::EditSortClick);
    EditAdd = action(MenuEdit, "EditAdd", "項目追加", QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::EditAddClick);
    EditDelete =
        action(MenuEdit, "EditDelete", "削除", QKeySequence(Qt::CTRL | Qt::Key_D), &TMainForm::EditDeleteClick);
    MenuHelp = menuBar()->addMenu("ヘルプ");
    MenuHelp->setObjectName("Help");
    HelpVersion = action(MenuHelp, "HelpVersion", "バージョン情報", QKeySequence(), &TMainForm::HelpVersionClick);
    HelpMessages = action(MenuHelp, "HelpMessages", "読込メッセージ", QKeySequence(), &TMainForm::HelpMessagesClick);
}

void TMainForm::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        showMessage(QMessageBox::Critical, QString::fromUtf8(e.what()));
    } catch (...) {
        showMessage(QMessageBox::Critical, "Unknown error");
    }
}

QStringList TMainForm::execFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return QStringList();
    return dialog.selectedFiles();
}

void TMainForm::showMessage(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, kApplicationTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::runLoadCommand(const std::function<void()>& command) {
    const int readsBefore = Core.XmlReadCount;
    runCommand(command);
    if (Core.XmlReadCount != readsBefore) updateMessagePanel();
}

void TMainForm::updateMessagePanel() {
    QStringList lines;
    for (const std::string& line : Core.Memo1) lines.push_back(QString::fromStdU16String(cp932::decode(line)));
    Memo1->setPlainText(lines.join(u'\n'));
    MessagePanel->setVisible(!Core.Memo1.empty());
}

void TMainForm::FileLoadXMLClick() {
    runLoadCommand([this] {
        OpenDialogXML->setNameFilters(kLoadFilters);
        const QStringList names = execFileDialog(*OpenDialogXML);
        if (names.isEmpty()) return;
        Core.FileLoadXMLClick(toFileName(names.front()));
    });
}

void TMainForm::FileAddClick() {
    runLoadCommand([this] {
        OpenDialogAdd->setNameFilters(kLoadFilters);
        const QStringList names = execFileDialog(*OpenDialogAdd);
        if (names.isEmpty()) return;
        Core.FileAddClick(toFileName(names.front()));
    });
}

void TMainForm::FileSaveXMLClick() {
    runCommand([this] {
        SaveDialogXML->setNameFilters(kSaveFilters);
        const QStringList names = execFileDialog(*SaveDialogXML);
        if (names.isEmpty()) return;
        const std::vector<int> skipped = Core.FileSaveXMLClick(toFileName(names.front()));
        if (!skipped.empty()) showMessage(QMessageBox::Warning, QString::fromUtf8(skippedRowsMessage(skipped)));
    });
}

void TMainForm::FileExitClick() { close(); }

void TMainForm::EditSortClick() {
    runCommand([this] {
        // The sort dialog (FormSort) asks for the column here and the rows are sorted by it.
        if (FormSort->exec() != QDialog::Accepted) return;
        SortGridRows(Core.Table, FormSort->selectedColumn());
    });
}

void TMainForm::EditAddClick() {
    runCommand([this] { Core.EditAddClick(); });
}

void TMainForm::EditDeleteClick() {
    runCommand([this] { Core.EditDeleteClick(); });
}

void TMainForm::HelpVersionClick() { AboutBox->exec(); }

void TMainForm::HelpMessagesClick() { MessagePanel->show(); }

void TMainForm::Timer1Timer() { StatusLabel->setText(QString::fromUtf8(Core.Timer1Timer())); }

void TMainForm::StringGridXMLSelectCell(const QModelIndex& current) {
    if (!current.isValid()) return;
    Core.StringGridXMLSelectCell(current.column(), Model->tableRow(current.row()));
}

void TMainForm::StringGridXMLKeyDown() {
    const QModelIndex current = StringGridXML->currentIndex();
    if (!current.isValid()) return;
    int column = current.column();
    int row = Model->tableRow(current.row());
    if (Core.StringGridXMLKeyDown(column, row))
        StringGridXML->setCurrentIndex(Model->index(Model->modelRow(row), column));
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void TMainForm::dropEvent(QDropEvent* event) {
    std::vector<std::string> names;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(toFileName(url.toLocalFile()));
    event->acceptProposedAction();
    runLoadCommand([this, &names] { Core.DropFiles(names); });
}
