#include "app/gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QPushButton>
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

#include "app/cell_text.h"
#include "app/clipboard_text.h"
#include "app/common.h"
#include "app/gui/about_box.h"
#include "app/gui/fonts.h"
#include "app/gui/form_sort.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/string_grid.h"
#include "app/main_form.h"
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
    StringGridXML->OnCommitText = [this](const QString& text) { return acceptEditText(text); };
    Model->OnEdit = [this](int column, int row, const std::string& cell) {
        Core.StringGridXMLSetEditText(column, row, cell);
    };
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
    // The ending of the chosen filter is added after the dialog, and the question before replacing
    // a file is asked then, about the name that will really be written.
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
    EditUndo = action(MenuEdit, "EditUndo", "元に戻す", QKeySequence::Undo, &TMainForm::EditUndoClick);
    EditRedo = action(MenuEdit, "EditRedo", "やり直し", QKeySequence(Qt::CTRL | Qt::Key_Y), &TMainForm::EditRedoClick);
    EditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    MenuEdit->addSeparator();
    EditCut = action(MenuEdit, "EditCut", "切り取り", QKeySequence::Cut, &TMainForm::EditCutClick);
    EditCopy = action(MenuEdit, "EditCopy", "コピー", QKeySequence::Copy, &TMainForm::EditCopyClick);
    EditPaste = action(MenuEdit, "EditPaste", "貼り付け", QKeySequence::Paste, &TMainForm::EditPasteClick);
    EditClear = action(MenuEdit, "EditClear", "内容のクリア", QKeySequence::Delete, &TMainForm::EditClearClick);
    MenuEdit->addSeparator();
    EditSort = action(MenuEdit, "EditSort", "並び替え", QKeySequence(), &TMainForm::EditSortClick);
    EditAdd = action(MenuEdit, "EditAdd", "項目追加", QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::EditAddClick);
    EditInsert = action(MenuEdit, "EditInsert", "行の挿入", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                        &TMainForm::EditInsertClick);
    EditDelete =
        action(MenuEdit, "EditDelete", "削除", QKeySequence(Qt::CTRL | Qt::Key_D), &TMainForm::EditDeleteClick);
    // The same commands on a right click in the grid or on its row numbers.
    GridMenu = new QMenu(this);
    GridMenu->setObjectName("GridMenu");
    GridMenu->addActions({EditUndo, EditRedo});
    GridMenu->addSeparator();
    GridMenu->addActions({EditCut, EditCopy, EditPaste, EditClear});
    GridMenu->addSeparator();
    GridMenu->addActions({EditInsert, EditDelete});
    // A scroll area reports its menu position in its viewport's coordinates.
    auto popUp = [this](QWidget* widget, QWidget* coordinates) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this,
                [this, coordinates](const QPoint& at) { GridMenu->popup(coordinates->mapToGlobal(at)); });
    };
    popUp(StringGridXML, StringGridXML->viewport());
    popUp(StringGridXML->verticalHeader(), StringGridXML->verticalHeader()->viewport());
    updateEditActions();
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

int TMainForm::askQuestion(const QString& text, const QStringList& buttons, int escapeButton) {
    QMessageBox box(QMessageBox::Question, kApplicationTitle, text, QMessageBox::NoButton, this);
    QList<QPushButton*> added;
    for (int i = 0; i < buttons.size(); ++i)
        added.push_back(box.addButton(buttons[i], i == escapeButton ? QMessageBox::RejectRole
                                                                    : QMessageBox::AcceptRole));
    if (!added.isEmpty()) box.setDefaultButton(added.front());
    if (escapeButton >= 0 && escapeButton < added.size()) box.setEscapeButton(added[escapeButton]);
    box.exec();
    return static_cast<int>(added.indexOf(static_cast<QPushButton*>(box.clickedButton())));
}

bool TMainForm::acceptText(const QString& text, const QString& goBack, const QString& accept) {
    const std::vector<std::u16string> missing =
        unrepresentableCharacters(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                      static_cast<std::size_t>(text.size())));
    if (missing.empty()) return true;
    QStringList named;
    for (const std::u16string& character : missing) {
        const QString shown = QString::fromStdU16String(character);
        named.push_back(QString("「%1」(U+%2)")
                            .arg(shown)
                            .arg(QString::number(shown.toUcs4().value(0), 16).toUpper().rightJustified(4, '0')));
    }
    const QString question =
        QString::fromUtf8("次の文字は Shift_JIS にないため、\"?\" として保存されます:\n%1").arg(named.join(u' '));
    return askQuestion(question, {goBack, accept}, 0) == 1;
}

bool TMainForm::acceptEditText(const QString& text) {
    return acceptText(text, QString::fromUtf8("編集に戻る"), QString::fromUtf8("\"?\" にして確定"));
}

QString TMainForm::captionText() const {
    const QString title = QString::fromUtf8(kApplicationTitle);
    if (Core.CurrentFileName.empty() && !Core.Modified) return title;
    const QString name = Core.CurrentFileName.empty()
                             ? QString::fromUtf8("無題")
                             : QFileInfo(QString::fromUtf8(Core.CurrentFileName)).fileName();
    return name + (Core.Modified ? "*" : "") + " - " + title;
}

void TMainForm::runLoadCommand(const std::function<void()>& command) {
    const int readsBefore = Core.ReadCount;
    runCommand(command);
    if (Core.ReadCount != readsBefore) updateMessagePanel();
}

void TMainForm::updateMessagePanel() {
    QStringList lines;
    for (const std::string& line : Core.Memo1) lines.push_back(QString::fromStdU16String(cp932::decode(line)));
    Memo1->setPlainText(lines.join(u'\n'));
    MessagePanel->setVisible(!Core.Memo1.empty());
}

void TMainForm::FileLoadXMLClick() {
    if (!maybeSave()) return;
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

QString TMainForm::askSaveFileName() {
    SaveDialogXML->setNameFilters(kSaveFilters);
    const QStringList names = execFileDialog(*SaveDialogXML);
    if (names.isEmpty()) return QString();
    QString name = names.front();
    const std::string bytes = toFileName(name);
    if (!hasXmlEnding(bytes) && !hasCsvEnding(bytes))
        name += SaveDialogXML->selectedNameFilter() == kSaveFilters[1] ? ".csv" : ".xml";
    if (QFileInfo::exists(name)) {
        const QString question = QString::fromUtf8("%1 は既に存在します。\n置き換えますか?").arg(name);
        if (askQuestion(question, {QString::fromUtf8("置き換える"), QString::fromUtf8("キャンセル")}, 1) != 0)
            return QString();
    }
    return name;
}

bool TMainForm::saveTo(const std::string& name) {
    bool saved = false;
    runCommand([&] {
        const TSaveReport report = Core.FileSaveXMLClick(name);
        saved = true;
        if (!report.empty()) showMessage(QMessageBox::Warning, QString::fromUtf8(saveReportMessage(report)));
    });
    return saved;
}

void TMainForm::FileSaveXMLClick() {
    const QString name = askSaveFileName();
    if (!name.isEmpty()) saveTo(toFileName(name));
}

bool TMainForm::maybeSave() {
    if (!Core.Modified) return true;
    const QString question = QString::fromUtf8("変更が保存されていません。保存しますか?");
    switch (askQuestion(question, {QString::fromUtf8("保存"), QString::fromUtf8("破棄"), QString::fromUtf8("キャンセル")},
                        2)) {
    case 0: {
        // The current file when it has an ending the editor writes; the save dialog otherwise.
        const std::string& current = Core.CurrentFileName;
        if (!current.empty() && (hasXmlEnding(current) || hasCsvEnding(current))) return saveTo(current);
        const QString name = askSaveFileName();
        return !name.isEmpty() && saveTo(toFileName(name));
    }
    case 1:
        return true;
    default:
        return false;
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

void TMainForm::FileExitClick() { close(); }

void TMainForm::EditSortClick() {
    runCommand([this] {
        // The sort dialog (FormSort) asks for the column here and the rows are sorted by it.
        if (FormSort->exec() != QDialog::Accepted) return;
        Core.EditSortClick(FormSort->selectedColumn());
    });
}

void TMainForm::updateEditActions() {
    EditUndo->setEnabled(Core.History.canUndo());
    EditRedo->setEnabled(Core.History.canRedo());
}

std::vector<std::pair<int, int>> TMainForm::selectedCells() const {
    std::vector<std::pair<int, int>> cells;
    for (const QModelIndex& index : StringGridXML->selectionModel()->selectedIndexes())
        cells.emplace_back(index.column(), Model->tableRow(index.row()));
    if (cells.empty() && StringGridXML->currentIndex().isValid())
        cells.emplace_back(StringGridXML->currentIndex().column(), Model->tableRow(StringGridXML->currentIndex().row()));
    return cells;
}

std::vector<int> TMainForm::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : StringGridXML->selectionModel()->selectedIndexes())
        rows.push_back(Model->tableRow(index.row()));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TMainForm::EditUndoClick() {
    runCommand([this] { Core.EditUndoClick(); });
    updateEditActions();
}

void TMainForm::EditRedoClick() {
    runCommand([this] { Core.EditRedoClick(); });
    updateEditActions();
}

void TMainForm::EditCopyClick() {
    const std::vector<std::pair<int, int>> cells = selectedCells();
    if (cells.empty()) return;
    // The rectangle around the selection, as spreadsheets copy it.
    int firstColumn = kColumnCount, lastColumn = -1, firstRow = Core.Table.rowCount(), lastRow = -1;
    for (const auto& [column, row] : cells) {
        firstColumn = std::min(firstColumn, column);
        lastColumn = std::max(lastColumn, column);
        firstRow = std::min(firstRow, row);
        lastRow = std::max(lastRow, row);
    }
    QApplication::clipboard()->setText(
        QString::fromStdU16String(copyCellsText(Core.Table, firstColumn, firstRow, lastColumn, lastRow)));
}

void TMainForm::EditCutClick() {
    EditCopyClick();
    EditClearClick();
}

void TMainForm::EditPasteClick() {
    const QString text = QApplication::clipboard()->text();
    const QModelIndex current = StringGridXML->currentIndex();
    if (text.isEmpty() || !current.isValid()) return;
    if (!acceptText(text, QString::fromUtf8("貼り付けない"), QString::fromUtf8("\"?\" にして貼り付け"))) return;
    std::vector<std::vector<std::string>> block = pasteCellsOf(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())));
    runCommand([&] {
        const std::vector<std::pair<int, int>> cells = selectedCells();
        if (block.size() == 1 && block[0].size() == 1 && cells.size() > 1) {
            // One value into a larger selection fills every selected cell, in one step.
            Core.EditFillCells(cells, block[0][0]);
            return;
        }
        // The block starts at the top left of the selection.
        int column = current.column(), row = Model->tableRow(current.row());
        for (const auto& [c, r] : cells) {
            column = std::min(column, c);
            row = std::min(row, r);
        }
        Core.EditPaste(column, row, block);
    });
    updateEditActions();
}

void TMainForm::EditClearClick() {
    runCommand([this] { Core.EditClearCells(selectedCells()); });
    updateEditActions();
}

void TMainForm::EditInsertClick() {
    const QModelIndex current = StringGridXML->currentIndex();
    runCommand([&] {
        Core.EditInsertClick(current.isValid() ? Model->tableRow(current.row()) : Core.Table.rowCount());
    });
    updateEditActions();
}

void TMainForm::EditAddClick() {
    runCommand([this] { Core.EditAddClick(); });
}

void TMainForm::EditDeleteClick() {
    const std::vector<int> rows = selectedRows();
    runCommand([&] {
        if (rows.size() > 1)
            Core.EditDeleteRows(rows);
        else
            Core.EditDeleteClick();
    });
    updateEditActions();
}

void TMainForm::HelpVersionClick() { AboutBox->exec(); }

void TMainForm::HelpMessagesClick() { MessagePanel->show(); }

void TMainForm::Timer1Timer() {
    StatusLabel->setText(QString::fromUtf8(Core.Timer1Timer()));
    updateEditActions();
    const QString caption = captionText();
    if (windowTitle() != caption) setWindowTitle(caption);
}

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
