#include "app/gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/cell_text.h"
#include "app/clipboard_text.h"
#include "app/common.h"
#include "app/duplicates.h"
#include "app/gui/about_box.h"
#include "app/gui/filter_bar.h"
#include "app/gui/find_bar.h"
#include "app/gui/fonts.h"
#include "app/gui/form_sort.h"
#include "app/gui/localization.h"
#include "app/gui/map_view.h"
#include "app/gui/point_mark_model.h"
#include "app/gui/problem_list.h"
#include "app/gui/read_progress.h"
#include "app/gui/record_filter_model.h"
#include "app/gui/string_grid.h"
#include "app/main_form.h"
#include "app/point_mark_writer.h"
#include "text/code_page_932.h"

const char* const kApplicationTitle = "XML Editor for ORVEX's Point Mark";

namespace {

// The file-dialog filters: display text and pattern in pairs, in Qt's "text (pattern)" form. The
// XML file type has one name in every dialog, as the CSV type has.
const QStringList kLoadFilters = {"xml文書(*.xml)", "csv文書(*.csv)", "すべてのファイル(*.*)"};
const QStringList kSaveFilters = {"xml文書(*.xml)", "csv文書(*.csv)"};

std::string toFileName(const QString& name) { return name.toUtf8().toStdString(); }

// Where the settings keep the window's state.
const char* const kRecentFilesKey = "recentFiles";
const char* const kGeometryKey = "window/geometry";
const char* const kColumnWidthsKey = "window/columnWidths";

// The frame that a window manager puts around the window (title bar, borders), which the window
// cannot know before it is shown: room enough for the common ones.
const QMargins kFrameAllowance(8, 40, 8, 8);

// Window managers draw a title in a font of their own, often bold and larger than the window's,
// between the icon and the buttons of the title bar, and cut what does not fit. A message box is
// made wide enough for its whole title in the application's font, bold, with that much room.
constexpr int kTitleBarRoom = 160;
void fitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    QFont font = QApplication::font();
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

QRect firstWindowGeometry(const QRect& available, int everyColumnWidth) {
    const QSize frame(kFrameAllowance.left() + kFrameAllowance.right(),
                      kFrameAllowance.top() + kFrameAllowance.bottom());
    const QSize size = QSize(std::max(available.width() * 4 / 5, everyColumnWidth), available.height() * 4 / 5)
                           .boundedTo(available.size() - frame);
    return QRect(QPoint(available.left() + (available.width() - frame.width() - size.width()) / 2,
                        available.top() + (available.height() - frame.height() - size.height()) / 2),
                 size);
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle(kApplicationTitle);
    setFont(mapFont(EFontFace::pGothic, 12));

    StringGridXML = new TStringGrid(this);
    StringGridXML->setObjectName("StringGridXML");
    StringGridXML->setFont(mapFont(EFontFace::gothic, 13));
    Model = new TPointMarkModel(Core.Table, this);
    // The grid shows the table through the filter; TableIndex and tableRowOf map between them.
    // The checks of the cells follow every change of the rows; connected before the grid's
    // models, so that the marks are up to date when the grid draws.
    Model->Checks = &Checks;
    Checks.checkAll(Core.Table);
    connect(Model, &QAbstractItemModel::modelReset, this, [this] { Checks.checkAll(Core.Table); });
    connect(Model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
        Checks.rowsInserted(Core.Table, Model->tableRow(first), last - first + 1);
    });
    connect(Model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        Checks.rowsRemoved(Model->tableRow(first), last - first + 1);
    });
    connect(Model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& first, const QModelIndex& last) {
        Checks.checkRows(Core.Table, Model->tableRow(first.row()), Model->tableRow(last.row()));
    });
    Filter = new TRecordFilterModel(this);
    Filter->setSourceModel(Model);
    StringGridXML->setModel(Filter);
    for (int c = 0; c < kColumnCount; ++c) StringGridXML->setColumnWidth(c, columnWidth(c));
    StringGridXML->horizontalHeader()->setFont(StringGridXML->font());
    StringGridXML->horizontalHeader()->setFixedHeight(19);
    // The filter row above the grid, the find bar below it.
    auto* centre = new QWidget(this);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FilterRow = new TFilterBar(StringGridXML, centre);
    FilterRow->hide();
    FindBar = new TFindBar(centre);
    FindBar->hide();
    column->addWidget(FilterRow);
    column->addWidget(StringGridXML, 1);
    column->addWidget(FindBar);
    setCentralWidget(centre);
    connect(FilterRow, &TFilterBar::filterChanged, this, &TMainForm::applyFilter);
    connect(FilterRow, &TFilterBar::tableRequested, this, [this](int column, bool firstRow) {
        QModelIndex index = StringGridXML->currentIndex();
        if (firstRow || !index.isValid()) index = Filter->index(0, column);
        if (index.isValid()) {
            StringGridXML->setCurrentIndex(index);
            StringGridXML->scrollTo(index);
        }
        StringGridXML->setFocus();
    });
    connect(FindBar, &TFindBar::findRequested, this, &TMainForm::findNext);
    connect(FindBar, &TFindBar::replaceRequested, this, &TMainForm::replaceOne);
    connect(FindBar, &TFindBar::replaceAllRequested, this, &TMainForm::replaceAll);
    Filter->OnSourceReset = [this] {
        std::vector<char> shown = shownRows();
        showOnMap(shown);
        return shown;
    };
    // A click on a column header sorts by it, a second click the other way round.
    StringGridXML->horizontalHeader()->setSectionsClickable(true);
    connect(StringGridXML->horizontalHeader(), &QHeaderView::sectionClicked, this, &TMainForm::sortByHeader);
    StringGridXML->OnEnter = [this] { StringGridXMLKeyDown(); };
    StringGridXML->OnCommitText = [this](const QString& text) { return acceptEditText(text); };
    Model->OnEdit = [this](int column, int row, const std::string& cell) {
        Core.StringGridXMLSetEditText(column, row, cell);
    };
    connect(StringGridXML->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { StringGridXMLSelectCell(current); });
    // A reset (after a load, or a sort under a filter) loses the grid's current cell; put it back
    // at the same position, as near as the new rows allow, so that the selected row and Enter keep
    // working.
    connect(Filter, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QModelIndex current = StringGridXML->currentIndex();
        cellBeforeReset_ = current.isValid() ? QPoint(current.column(), current.row()) : QPoint(-1, -1);
    });
    connect(Filter, &QAbstractItemModel::modelReset, this, [this] {
        if (cellBeforeReset_.y() < 0 || Filter->rowCount() == 0) return;
        StringGridXML->setCurrentIndex(
            Filter->index(std::min(cellBeforeReset_.y(), Filter->rowCount() - 1), cellBeforeReset_.x()));
    });

    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName("StatusLabel");
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(true);
    statusBar()->setFixedHeight(19);
    statusBar()->addWidget(StatusLabel, 1);
    ProblemLabel = new QLabel(this);
    ProblemLabel->setObjectName("ProblemLabel");
    statusBar()->addPermanentWidget(ProblemLabel);
    FilterLabel = new QLabel(this);
    FilterLabel->setObjectName("FilterLabel");
    statusBar()->addPermanentWidget(FilterLabel);

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

    // The map of the records, in a panel beside the table; it follows the table, the filter and
    // the selection while it is shown.
    MapView = new TMapView(this);
    MapView->setObjectName("MapView");
    MapPanel = new QDockWidget(QString::fromUtf8("地図"), this);
    MapPanel->setObjectName("MapPanel");
    MapPanel->setWidget(MapView);
    MapPanel->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, MapPanel);
    MapPanel->hide();
    connect(Model, &QAbstractItemModel::modelReset, MapView, &TMapView::tableChanged);
    connect(Model, &QAbstractItemModel::rowsInserted, MapView, &TMapView::tableChanged);
    connect(Model, &QAbstractItemModel::rowsRemoved, MapView, &TMapView::tableChanged);
    connect(Model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& first, const QModelIndex& last) {
        MapView->rowsChanged(Model->tableRow(first.row()), Model->tableRow(last.row()));
    });
    connect(StringGridXML->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (MapPanel->isVisible()) MapView->setSelectedRows(selectedRows());
    });
    connect(MapView, &TMapView::recordClicked, this, [this](int row) {
        const QModelIndex current = StringGridXML->currentIndex();
        const QModelIndex index = TableIndex(current.isValid() ? current.column() : 0, row);
        if (!index.isValid()) return;
        StringGridXML->setCurrentIndex(index);
        StringGridXML->scrollTo(index);
    });
    connect(MapView, &TMapView::recordsSelected, this, [this](const std::vector<int>& rows) {
        QItemSelection selection;
        for (const int row : rows) {
            const QModelIndex first = TableIndex(0, row);
            if (first.isValid()) selection.select(first, TableIndex(kColumnCount - 1, row));
        }
        StringGridXML->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    });
    connect(MapPanel, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        ViewMap->setChecked(visible);
        if (visible) MapView->setSelectedRows(selectedRows());
    });
    MapView->setTable(&Core.Table);

    // The list of every problem of the records shown, beside the table. Connected after the
    // checks, so that it lists them once they follow the change.
    ProblemPanel = new TProblemList(Checks, this);
    ProblemPanel->setObjectName("ProblemPanel");
    ProblemPanel->setAllowedAreas(Qt::AllDockWidgetAreas);
    ProblemPanel->IsShown = [this](int tableRow) { return Filter->isShown(Model->modelRow(tableRow)); };
    addDockWidget(Qt::BottomDockWidgetArea, ProblemPanel);
    ProblemPanel->hide();
    auto listAgain = [this] { ProblemPanel->scheduleRefresh(); };
    connect(Model, &QAbstractItemModel::dataChanged, ProblemPanel, listAgain);
    connect(Model, &QAbstractItemModel::rowsInserted, ProblemPanel, listAgain);
    connect(Model, &QAbstractItemModel::rowsRemoved, ProblemPanel, listAgain);
    connect(Filter, &QAbstractItemModel::modelReset, ProblemPanel, listAgain);
    connect(ProblemPanel, &TProblemList::cellChosen, this, [this](int column, int row) {
        const QModelIndex index = TableIndex(column, row);
        if (!index.isValid()) return;
        StringGridXML->setCurrentIndex(index);
        StringGridXML->scrollTo(index);
        StringGridXML->setFocus();
    });
    connect(ProblemPanel, &QDockWidget::visibilityChanged, this,
            [this](bool visible) { ViewProblems->setChecked(visible); });

    createMenus();
    AboutBox = new TAboutBox(this);
    FormSort = new TFormSort(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    Timer1->start();
    Timer1Timer();

    // A file that breaks off half-way replaces or extends the table only when the user says so.
    Core.OnReadStopped = [this](const TReadStop& stop, bool replace) {
        const QString question =
            QString::fromUtf8(
                replace ? "ファイルの途中で読み込みが止まりました (%1 行目)。読み込めた %2 件で置き換えますか?"
                        : "ファイルの途中で読み込みが止まりました (%1 行目)。読み込めた %2 件を追加しますか?")
                .arg(stop.line)
                .arg(stop.records);
        const QString take = QString::fromUtf8(replace ? "置き換える" : "追加する");
        return askQuestion(question, {take, QString::fromUtf8("取り消す")}, 1) == 0;
    };
    Core.OnFewerRecords = [this](const std::string& fileName, int recordsInFile, int recordsToWrite) {
        const QString question = QString::fromUtf8("%1 には %2 件ありますが、%3 件で上書きします。よろしいですか?")
                                     .arg(QString::fromUtf8(fileName))
                                     .arg(recordsInFile)
                                     .arg(recordsToWrite);
        return askQuestion(question, {QString::fromUtf8("上書きする"), QString::fromUtf8("キャンセル")}, 1) == 0;
    };

    setAcceptDrops(true);
    StringGridXML->setCurrentIndex(TableIndex(0, Core.Table.SelectedRow));
    restoreWindowState();
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
    MenuFile = menuBar()->addMenu("ファイル(&F)");
    MenuFile->setObjectName("File");
    FileLoadXML = action(MenuFile, "FileLoadXML", "ファイル読込", QKeySequence(Qt::CTRL | Qt::Key_O),
                         &TMainForm::FileLoadXMLClick);
    FileAdd = action(MenuFile, "FileAdd", "ファイル追加", QKeySequence(), &TMainForm::FileAddClick);
    FileSaveXML = action(MenuFile, "FileSaveXML", "ファイル保存", QKeySequence(Qt::CTRL | Qt::Key_S),
                         &TMainForm::FileSaveXMLClick);
    FileSaveAs = action(MenuFile, "FileSaveAs", "名前を付けて保存", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                        &TMainForm::FileSaveAsClick);
    MenuRecent = MenuFile->addMenu("最近使ったファイル");
    MenuRecent->setObjectName("FileRecent");
    MenuRecent->menuAction()->setObjectName("FileRecent");
    // The items stay and change their texts, so that one of them may be chosen while the list changes.
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        QAction* item = MenuRecent->addAction(QString());
        item->setObjectName(QString("FileRecent%1").arg(i + 1));
        connect(item, &QAction::triggered, this, [this, item] {
            if (maybeSave()) loadFile(item->data().toString());
        });
    }
    updateRecentMenu();
    MenuFile->addSeparator();
    FileExit = action(MenuFile, "FileExit", "終了", QKeySequence(Qt::CTRL | Qt::Key_Q), &TMainForm::FileExitClick);
    MenuEdit = menuBar()->addMenu("編集(&E)");
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
    MenuEdit->addSeparator();
    EditFind = action(MenuEdit, "EditFind", "検索", QKeySequence(Qt::CTRL | Qt::Key_F), &TMainForm::EditFindClick);
    EditReplace =
        action(MenuEdit, "EditReplace", "置換", QKeySequence(Qt::CTRL | Qt::Key_H), &TMainForm::EditReplaceClick);
    EditGoTo = action(MenuEdit, "EditGoTo", "指定のレコードへ移動", QKeySequence(Qt::CTRL | Qt::Key_G),
                      &TMainForm::EditGoToClick);
    EditFilter = action(MenuEdit, "EditFilter", "絞り込み", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
                        &TMainForm::EditFilterClick);
    EditFilter->setCheckable(true);
    MenuEdit->addSeparator();
    EditNextProblem = action(MenuEdit, "EditNextProblem", "次の問題へ", QKeySequence(Qt::Key_F8),
                             &TMainForm::EditNextProblemClick);
    QMenu* datum = MenuEdit->addMenu(QString::fromUtf8("測地系変換"));
    datum->setObjectName("EditDatum");
    EditToWgs84 = action(datum, "EditToWgs84", "WGS84 に変換", QKeySequence(), &TMainForm::EditToWgs84Click);
    EditToTokyo = action(datum, "EditToTokyo", "TOKYO (日本測地系) に変換", QKeySequence(), &TMainForm::EditToTokyoClick);
    datum->addSeparator();
    QMenu* datumAll = datum->addMenu(QString::fromUtf8("すべての地点"));
    datumAll->setObjectName("EditDatumAll");
    EditAllToWgs84 =
        action(datumAll, "EditAllToWgs84", "WGS84 に変換", QKeySequence(), &TMainForm::EditAllToWgs84Click);
    EditAllToTokyo = action(datumAll, "EditAllToTokyo", "TOKYO (日本測地系) に変換", QKeySequence(),
                            &TMainForm::EditAllToTokyoClick);
    EditFindDuplicates =
        action(MenuEdit, "EditFindDuplicates", "重複の検出", QKeySequence(), &TMainForm::EditFindDuplicatesClick);
    EditDuplicateDistance = action(MenuEdit, "EditDuplicateDistance", "重複とみなす距離...", QKeySequence(),
                                   &TMainForm::EditDuplicateDistanceClick);
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
    MenuView = menuBar()->addMenu("表示(&V)");
    MenuView->setObjectName("View");
    ViewMap = action(MenuView, "ViewMap", "地図", QKeySequence(Qt::CTRL | Qt::Key_M), &TMainForm::ViewMapClick);
    ViewMap->setCheckable(true);
    ViewProblems = action(MenuView, "ViewProblems", "問題の一覧", QKeySequence(), &TMainForm::ViewProblemsClick);
    ViewProblems->setCheckable(true);
    MenuHelp = menuBar()->addMenu("ヘルプ(&H)");
    MenuHelp->setObjectName("Help");
    HelpVersion = action(MenuHelp, "HelpVersion", "バージョン情報", QKeySequence(), &TMainForm::HelpVersionClick);
    HelpMessages = action(MenuHelp, "HelpMessages", "読込メッセージ", QKeySequence(), &TMainForm::HelpMessagesClick);
}

void TMainForm::runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        showMessage(QMessageBox::Critical, japaneseErrorText(QString::fromUtf8(e.what())));
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
    fitTitle(box);
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
    fitTitle(box);
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
    if (Core.ReadCount == readsBefore) return;
    updateMessagePanel(Core.Memo1);
    findSortOrder();
}

void TMainForm::updateMessagePanel(const std::vector<std::string>& lines) {
    QStringList shown;
    for (const std::string& line : lines) shown.push_back(QString::fromStdU16String(cp932::decode(line)));
    Memo1->setPlainText(shown.join(u'\n'));
    MessagePanel->setVisible(!lines.empty());
}

void TMainForm::loadFile(const QString& name) {
    runLoadCommand([this, &name] {
        TReadProgress progress(this, Core);
        if (Core.FileLoadXMLClick(toFileName(name)) > 0) addRecentFile(name);
    });
}

void TMainForm::FileLoadXMLClick() {
    if (!maybeSave()) return;
    OpenDialogXML->setNameFilters(kLoadFilters);
    const QStringList names = execFileDialog(*OpenDialogXML);
    if (!names.isEmpty()) loadFile(names.front());
}

void TMainForm::FileAddClick() {
    runLoadCommand([this] {
        OpenDialogAdd->setNameFilters(kLoadFilters);
        const QStringList names = execFileDialog(*OpenDialogAdd);
        if (names.isEmpty()) return;
        TReadProgress progress(this, Core);
        Core.FileAddClick(toFileName(names.front()), duplicateFilter());
    });
}

void TMainForm::openFiles(const QStringList& arguments) {
    if (arguments.isEmpty()) return;
    // The messages of every file, so that the panel shows them all and not only the last file's.
    std::vector<std::string> lines;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QUrl url(arguments[i]);
        const QString name =
            QFileInfo(arguments[i].startsWith("file://") ? url.toLocalFile() : arguments[i]).absoluteFilePath();
        const int readsBefore = Core.ReadCount;
        runCommand([&] {
            TReadProgress progress(this, Core);
            if (i > 0)
                Core.FileAddClick(toFileName(name));
            else if (Core.FileLoadXMLClick(toFileName(name)) > 0)
                addRecentFile(name);
        });
        if (Core.ReadCount != readsBefore) lines.insert(lines.end(), Core.Memo1.begin(), Core.Memo1.end());
    }
    // The files the editor was started with are where undo stops.
    Core.History.forgetSteps();
    updateMessagePanel(lines);
}

QStringList TMainForm::recentFiles() const {
    return QSettings().value(kRecentFilesKey).toStringList().mid(0, kMaxRecentFiles);
}

void TMainForm::addRecentFile(const QString& name) {
    const QString path = QFileInfo(name).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(path);
    files.prepend(path);
    QSettings().setValue(kRecentFilesKey, files.mid(0, kMaxRecentFiles));
    updateRecentMenu();
}

void TMainForm::updateRecentMenu() {
    const QStringList files = recentFiles();
    const QList<QAction*> items = MenuRecent->actions();
    for (int i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        item->setVisible(i < files.size());
        if (i >= files.size()) continue;
        const QString number = i < 9 ? QString("&%1").arg(i + 1) : QString("1&0");
        item->setText(number + " " + QString(files[i]).replace("&", "&&"));
        item->setData(files[i]);
    }
    MenuRecent->setEnabled(!files.isEmpty());
}

void TMainForm::restoreWindowState() {
    QSettings settings;
    if (!restoreGeometry(settings.value(kGeometryKey).toByteArray())) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect geometry =
            firstWindowGeometry(screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024), everyColumnWidth());
        resize(geometry.size());
        move(geometry.topLeft());
    }
    const QVariantList widths = settings.value(kColumnWidthsKey).toList();
    if (widths.size() != kColumnCount) return;
    for (int c = 0; c < kColumnCount; ++c)
        if (widths[c].toInt() > 0) StringGridXML->setColumnWidth(c, widths[c].toInt());
}

int TMainForm::everyColumnWidth() const {
    int width = StringGridXML->verticalHeader()->sizeHint().width() + 2 * StringGridXML->frameWidth() +
                StringGridXML->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, StringGridXML);
    for (int c = 0; c < kColumnCount; ++c) width += StringGridXML->columnWidth(c);
    return width;
}

void TMainForm::saveWindowState() const {
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    QVariantList widths;
    for (int c = 0; c < kColumnCount; ++c) widths.push_back(StringGridXML->columnWidth(c));
    settings.setValue(kColumnWidthsKey, widths);
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
        if (!report.written) return;
        saved = true;
        addRecentFile(QString::fromUtf8(name));
        if (!report.empty()) showMessage(QMessageBox::Warning, QString::fromUtf8(saveReportMessage(report)));
    });
    return saved;
}

bool TMainForm::saveToCurrentFile() {
    const std::string& current = Core.CurrentFileName;
    if (!current.empty() && (hasXmlEnding(current) || hasCsvEnding(current))) return saveTo(current);
    return saveAs();
}

bool TMainForm::saveAs() {
    const QString name = askSaveFileName();
    return !name.isEmpty() && saveTo(toFileName(name));
}

void TMainForm::FileSaveXMLClick() { saveToCurrentFile(); }

void TMainForm::FileSaveAsClick() { saveAs(); }

bool TMainForm::maybeSave() {
    if (!Core.Modified) return true;
    QString question = QString::fromUtf8("変更が保存されていません。保存しますか?");
    if (!Core.RowsLeftOut.empty()) {
        // Saving again would leave them out again: name them, so that they can be filled first.
        QStringList rows;
        for (std::size_t k = 0; k < Core.RowsLeftOut.size() && k < 20; ++k)
            rows.push_back(QString::number(Core.RowsLeftOut[k]));
        if (Core.RowsLeftOut.size() > 20)
            rows.push_back(QString::fromUtf8("ほか %1 行").arg(Core.RowsLeftOut.size() - 20));
        question =
            QString::fromUtf8("次の %1 行は必須項目が空のため、ファイルに保存されていません:\n%2\n\n保存しますか?")
                .arg(Core.RowsLeftOut.size())
                .arg(rows.join(u", "));
    }
    switch (askQuestion(question,
                        {QString::fromUtf8("保存"), QString::fromUtf8("破棄"), QString::fromUtf8("キャンセル")}, 2)) {
    case 0:
        return saveToCurrentFile();
    case 1:
        return true;
    default:
        return false;
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!maybeSave()) {
        event->ignore();
        return;
    }
    saveWindowState();
    event->accept();
}

void TMainForm::FileExitClick() { close(); }

void TMainForm::EditSortClick() {
    runCommand([this] {
        // The sort dialog (FormSort) asks for the column here and the rows are sorted by it.
        if (FormSort->exec() != QDialog::Accepted) return;
        const int column = FormSort->selectedColumn();
        if (column < 0) return; // a text that names no column sorts nothing
        Core.EditSortClick(column);
        setSortOrder({column, false});
    });
}

QModelIndex TMainForm::TableIndex(int column, int tableRow) const {
    return Filter->mapFromSource(Model->index(Model->modelRow(tableRow), column));
}

int TMainForm::tableRowOf(const QModelIndex& gridIndex) const {
    return Model->tableRow(Filter->mapToSource(gridIndex).row());
}

void TMainForm::updateEditActions() {
    EditUndo->setEnabled(Core.History.canUndo());
    EditRedo->setEnabled(Core.History.canRedo());
}

std::vector<std::pair<int, int>> TMainForm::selectedCells() const {
    std::vector<std::pair<int, int>> cells;
    for (const QModelIndex& index : StringGridXML->selectionModel()->selectedIndexes())
        cells.emplace_back(index.column(), tableRowOf(index));
    if (cells.empty() && StringGridXML->currentIndex().isValid())
        cells.emplace_back(StringGridXML->currentIndex().column(), tableRowOf(StringGridXML->currentIndex()));
    return cells;
}

std::vector<int> TMainForm::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : StringGridXML->selectionModel()->selectedIndexes())
        rows.push_back(tableRowOf(index));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TMainForm::EditUndoClick() {
    runCommand([this] { Core.EditUndoClick(); });
    findSortOrder();
    updateEditActions();
}

void TMainForm::EditRedoClick() {
    runCommand([this] { Core.EditRedoClick(); });
    findSortOrder();
    updateEditActions();
}

void TMainForm::EditCopyClick() {
    const std::vector<std::pair<int, int>> cells = selectedCells();
    if (cells.empty()) return;
    // The columns around the selection, in every shown row between its first and last row, as
    // spreadsheets copy a range; rows the filter hides are left out.
    int firstColumn = kColumnCount, lastColumn = -1, firstRow = Core.Table.rowCount(), lastRow = -1;
    for (const auto& [column, row] : cells) {
        firstColumn = std::min(firstColumn, column);
        lastColumn = std::max(lastColumn, column);
        firstRow = std::min(firstRow, row);
        lastRow = std::max(lastRow, row);
    }
    std::vector<int> rows;
    for (int row = firstRow; row <= lastRow; ++row)
        if (TableIndex(firstColumn, row).isValid()) rows.push_back(row);
    QApplication::clipboard()->setText(
        QString::fromStdU16String(copyCellsText(Core.Table, firstColumn, lastColumn, rows)));
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
        int column = current.column(), row = tableRowOf(current);
        for (const auto& [c, r] : cells) {
            column = std::min(column, c);
            row = std::min(row, r);
        }
        if (!Filter->isFiltering()) return Core.EditPaste(column, row, block);
        // Under a filter, as spreadsheets paste into a filtered range: onto the shown rows from
        // there down, never onto a record the filter hides.
        std::vector<int> rows = shownTableRows();
        std::erase_if(rows, [&](int shown) { return shown < row; });
        Core.EditPasteRows(column, rows, block);
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
        Core.EditInsertClick(current.isValid() ? tableRowOf(current) : Core.Table.rowCount());
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

void TMainForm::EditFindClick() { FindBar->open(false); }

void TMainForm::EditReplaceClick() { FindBar->open(true); }

TMatchOptions TMainForm::findOptions() const {
    TMatchOptions options;
    options.matchCase = FindBar->MatchCase->isChecked();
    options.wholeCell = FindBar->WholeCell->isChecked();
    options.japanese = FindBar->JapaneseEquivalence->isChecked();
    return options;
}

std::u16string TMainForm::findText() const { return FindBar->FindText->text().toStdU16String(); }

std::vector<int> TMainForm::shownTableRows() const {
    std::vector<int> rows;
    if (!Filter->isFiltering()) return rows;
    rows.reserve(static_cast<std::size_t>(Filter->rowCount()));
    for (int r = 0; r < Filter->rowCount(); ++r) rows.push_back(tableRowOf(Filter->index(r, 0)));
    return rows;
}

TSearchScope TMainForm::findScope(const std::vector<int>& shownRows) const {
    // With a filter, only the rows shown are searched.
    return {FindBar->column(), Filter->isFiltering() ? &shownRows : nullptr};
}

std::optional<TCellPos> TMainForm::findFrom(const QModelIndex& current, bool forward) {
    const TCellMatcher matcher(findText(), findOptions());
    const TCellPos from = current.isValid() ? TCellPos{current.column(), tableRowOf(current)}
                                            : TCellPos{0, Core.Table.fixedRows()};
    const std::vector<int> rows = shownTableRows();
    return findCell(Core.Table, matcher, from, !forward, findScope(rows), &Core.SearchCache);
}

void TMainForm::showFound(const std::optional<TCellPos>& found) {
    if (!found) {
        statusBar()->showMessage(QString::fromUtf8("「%1」は見つかりません").arg(FindBar->FindText->text()), 4000);
        return;
    }
    const QModelIndex index = TableIndex(found->column, found->row);
    StringGridXML->setCurrentIndex(index);
    StringGridXML->scrollTo(index);
}

void TMainForm::findNext(bool forward) { showFound(findFrom(StringGridXML->currentIndex(), forward)); }

void TMainForm::replaceOne() {
    const QModelIndex current = StringGridXML->currentIndex();
    runCommand([&] {
        // The current cell is replaced when it holds a match; then on to the next match.
        if (current.isValid())
            Core.EditReplaceClick({current.column(), tableRowOf(current)}, findText(),
                                  FindBar->ReplaceText->text().toStdU16String(), findOptions());
        showFound(findFrom(StringGridXML->currentIndex(), true));
    });
    updateEditActions();
}

void TMainForm::replaceAll() {
    runCommand([&] {
        const std::vector<int> rows = shownTableRows();
        const int changed = Core.EditReplaceAllClick(findText(), FindBar->ReplaceText->text().toStdU16String(),
                                                     findOptions(), findScope(rows));
        showMessage(QMessageBox::Information, QString::fromUtf8("%1 個のセルを置換しました。").arg(changed));
    });
    updateEditActions();
}

std::vector<char> TMainForm::shownRows() {
    std::vector<TFilterCondition> conditions;
    const QStringList texts = FilterRow->texts();
    for (int c = 0; c < kColumnCount; ++c)
        if (!texts[c].isEmpty()) conditions.push_back({c, texts[c].toStdU16String()});
    // Contains, case and the width and kind of kana ignored: what a user typing into a filter expects.
    TMatchOptions options;
    options.japanese = true;
    const TRowFilter filter(conditions, options);
    if (filter.showsEveryRow()) return {};
    std::vector<char> shown(static_cast<std::size_t>(Model->rowCount()), 0);
    for (const int row : filter.matchingRows(Core.Table, &Core.SearchCache)) {
        const int modelRow = Model->modelRow(row);
        if (modelRow >= 0 && modelRow < static_cast<int>(shown.size())) shown[modelRow] = 1;
    }
    return shown;
}

void TMainForm::applyFilter() {
    runCommand([this] {
        const QModelIndex current = StringGridXML->currentIndex();
        const int column = current.isValid() ? current.column() : 0;
        const int row = current.isValid() ? Filter->mapToSource(current).row() : 0;
        const std::vector<char> shown = shownRows();
        showOnMap(shown);
        Filter->setShownRows(shown);
        // The new rows come as a reset: the current cell stays where it was when it is still
        // shown, else it goes to the next shown record (the last one when none follows).
        if (Filter->rowCount() == 0) return;
        int next = row;
        while (next < Model->rowCount() && !Filter->isShown(next)) ++next;
        const QModelIndex at = next < Model->rowCount() ? Filter->mapFromSource(Model->index(next, column))
                                                        : Filter->index(Filter->rowCount() - 1, column);
        StringGridXML->setCurrentIndex(at);
    });
    Timer1Timer();
}

void TMainForm::showOnMap(const std::vector<char>& shownByModelRow) {
    // The map counts table rows; the header row, when there is one, is shown like any other.
    mapShown_.clear();
    if (!shownByModelRow.empty()) {
        mapShown_.assign(static_cast<std::size_t>(Core.Table.fixedRows()), 1);
        mapShown_.insert(mapShown_.end(), shownByModelRow.begin(), shownByModelRow.end());
    }
    MapView->setShownRows(mapShown_.empty() ? nullptr : &mapShown_);
}

void TMainForm::ViewMapClick() { MapPanel->setVisible(ViewMap->isChecked()); }

void TMainForm::ViewProblemsClick() { ProblemPanel->setVisible(ViewProblems->isChecked()); }

void TMainForm::EditFilterClick() {
    FilterRow->setVisible(EditFilter->isChecked());
    if (EditFilter->isChecked())
        FilterRow->Texts.front()->setFocus();
    else
        FilterRow->clear(); // hiding the row shows every record again
}

int TMainForm::askRecordNumber(int current, int last) {
    bool ok = false;
    const int number = QInputDialog::getInt(this, QString::fromUtf8("指定のレコードへ移動"),
                                            QString::fromUtf8("レコード番号 (1-%1):").arg(last), current, 1, last, 1, &ok);
    return ok ? number : 0;
}

void TMainForm::EditGoToClick() {
    const QModelIndex current = StringGridXML->currentIndex();
    const int last = Core.Table.rowCount() - 1;
    if (last < 1) return;
    const int record = askRecordNumber(current.isValid() ? tableRowOf(current) : 1, last);
    if (record < 1 || record > last) return;
    QModelIndex index = TableIndex(current.isValid() ? current.column() : 0, record);
    if (!index.isValid()) {
        // Hidden by the filter: show every record again rather than go nowhere.
        FilterRow->clear();
        index = TableIndex(current.isValid() ? current.column() : 0, record);
    }
    StringGridXML->setCurrentIndex(index);
    StringGridXML->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TMainForm::sortByHeader(int column) {
    // The header has turned its own indicator by the time the click arrives; the window's
    // record of the last sort decides.
    const TSortOrder order{column, sortOrder_.column == column && !sortOrder_.descending};
    runCommand([&] {
        Core.EditSortClick(order.column, order.descending);
        setSortOrder(order);
    });
    if (sortOrder_ != order) setSortOrder(sortOrder_); // the sort failed: the indicator as it was
    updateEditActions();
}

void TMainForm::setSortOrder(TSortOrder order) {
    sortOrder_ = order;
    if (order.column >= 0) {
        std::erase(sortsMade_, order);
        sortsMade_.push_back(order);
        // There are 32 orders; the latest few are those worth looking for after an undo.
        if (sortsMade_.size() > 8) sortsMade_.erase(sortsMade_.begin());
    }
    QHeaderView* header = StringGridXML->horizontalHeader();
    header->setSortIndicatorShown(order.column >= 0);
    if (order.column >= 0)
        header->setSortIndicator(order.column, order.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TMainForm::findSortOrder() {
    TSortOrder found;
    for (auto made = sortsMade_.rbegin(); made != sortsMade_.rend(); ++made)
        if (Core.IsSortedBy(made->column, made->descending)) {
            found = *made;
            break;
        }
    setSortOrder(found);
}

void TMainForm::EditNextProblemClick() {
    const QModelIndex current = StringGridXML->currentIndex();
    TCellPos at = current.isValid() ? TCellPos{current.column(), tableRowOf(current)} : TCellPos{kColumnCount - 1, 0};
    // Problems in records the filter hides are passed over.
    for (int tries = Checks.errorCount() + Checks.warningCount(); tries > 0; --tries) {
        const std::optional<TCellPos> next = Checks.nextProblemCell(at);
        if (!next) break;
        const QModelIndex index = TableIndex(next->column, next->row);
        if (index.isValid()) {
            StringGridXML->setCurrentIndex(index);
            StringGridXML->scrollTo(index);
            return;
        }
        at = *next;
    }
    statusBar()->showMessage(QString::fromUtf8("問題のあるセルはありません"), 4000);
}

void TMainForm::convertDatum(TDatum target, bool all) {
    // The records the view shows: those with a selected cell (the current one when none is
    // selected), or all of them.
    std::vector<int> rows;
    int hidden = 0;
    if (!all) {
        rows = selectedRows();
        if (rows.empty() && StringGridXML->currentIndex().isValid())
            rows.push_back(tableRowOf(StringGridXML->currentIndex()));
    } else if (Filter->isFiltering()) {
        rows = shownTableRows();
        hidden = Model->rowCount() - static_cast<int>(rows.size());
    } else {
        for (int row = Core.Table.fixedRows(); row < Core.Table.rowCount(); ++row) rows.push_back(row);
    }
    const QString name = QString::fromUtf8(datumName(target));
    if (rows.empty()) {
        showMessage(QMessageBox::Information, QString::fromUtf8("変換する地点がありません。"));
        return;
    }
    auto inTarget = [&] {
        return std::count_if(rows.begin(), rows.end(),
                             [&](int row) { return datumOfCell(Core.Table.cell(kDatumColumn, row)) == target; });
    };
    const auto already = inTarget();
    runCommand([&] {
        const std::vector<TDatumSkip> skipped = Core.EditConvertDatum(rows, target);
        QString text = QString::fromUtf8("%1 件を %2 に変換しました。").arg(inTarget() - already).arg(name);
        if (already > 0) text += QString::fromUtf8("\n%1 件はすでに %2 です。").arg(already).arg(name);
        if (hidden > 0) text += QString::fromUtf8("\n絞り込みで表示されていない %1 件はそのままです。").arg(hidden);
        if (!skipped.empty()) text += QString::fromUtf8("\n次の %1 件は変換しませんでした:").arg(skipped.size());
        for (std::size_t i = 0; i < skipped.size() && i < 20; ++i)
            text += QString::fromUtf8("\nレコード %1: %2")
                        .arg(skipped[i].row)
                        .arg(QString::fromUtf8(datumSkipReasonJapanese(skipped[i].reason)));
        if (skipped.size() > 20) text += QString::fromUtf8("\n... (ほか %1 件)").arg(skipped.size() - 20);
        showMessage(QMessageBox::Information, text);
    });
    updateEditActions();
}

void TMainForm::EditToWgs84Click() { convertDatum(TDatum::wgs84, false); }

void TMainForm::EditToTokyoClick() { convertDatum(TDatum::tokyo, false); }

void TMainForm::EditAllToWgs84Click() { convertDatum(TDatum::wgs84, true); }

void TMainForm::EditAllToTokyoClick() { convertDatum(TDatum::tokyo, true); }

double TMainForm::duplicateMetres() const {
    return QSettings().value("duplicates/metres", kDefaultDuplicateMetres).toDouble();
}

TMainFormCore::TAddFilter TMainForm::duplicateFilter() {
    return [this](const std::vector<TPointMarkRow>& records) {
        const std::vector<int> duplicates =
            findDuplicatesOf(Core.Table, records, Core.datumTransform(), duplicateMetres());
        std::vector<bool> keep(records.size(), true);
        const auto count = std::count_if(duplicates.begin(), duplicates.end(), [](int row) { return row >= 0; });
        if (count == 0) return keep;
        QString question = QString::fromUtf8("追加する %1 件のうち %2 件は、表にある地点と名前が同じで %3 m 以内にあります。")
                               .arg(records.size())
                               .arg(count)
                               .arg(duplicateMetres());
        int listed = 0;
        for (std::size_t i = 0; i < duplicates.size() && listed < 10; ++i)
            if (duplicates[i] >= 0) {
                question += QString::fromUtf8("\n「%1」(表のレコード %2)").arg(cellToQString(records[i][4])).arg(duplicates[i]);
                ++listed;
            }
        if (askQuestion(question, {QString::fromUtf8("重複を追加しない"), QString::fromUtf8("すべて追加")}, 0) == 1)
            return keep;
        for (std::size_t i = 0; i < duplicates.size(); ++i) keep[i] = duplicates[i] < 0;
        return keep;
    };
}

void TMainForm::EditFindDuplicatesClick() {
    runCommand([this] {
        const std::vector<std::vector<int>> groups =
            findDuplicateGroups(Core.Table, Core.datumTransform(), duplicateMetres());
        if (groups.empty()) {
            showMessage(QMessageBox::Information, QString::fromUtf8("重複はありません。"));
            return;
        }
        // Every record but the first of each group is selected, ready for 削除.
        QItemSelection selection;
        int selected = 0;
        for (const std::vector<int>& group : groups)
            for (std::size_t i = 1; i < group.size(); ++i) {
                const QModelIndex first = TableIndex(0, group[i]);
                if (!first.isValid()) continue;
                selection.select(first, TableIndex(kColumnCount - 1, group[i]));
                ++selected;
            }
        StringGridXML->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        showMessage(QMessageBox::Information,
                    QString::fromUtf8("重複が %1 組あります。各組の最初のレコードを残し、ほかの %2 件を選択しました"
                                      "(削除 Ctrl+D で取り除けます)。")
                        .arg(groups.size())
                        .arg(selected));
    });
}

void TMainForm::EditDuplicateDistanceClick() {
    bool ok = false;
    const double metres = QInputDialog::getDouble(this, QString::fromUtf8("重複とみなす距離"),
                                                  QString::fromUtf8("同じ名前の地点をこの距離 (m) 以内なら重複とみなす:"),
                                                  duplicateMetres(), 0, 100000, 1, &ok);
    if (ok) QSettings().setValue("duplicates/metres", metres);
}

void TMainForm::Timer1Timer() {
    StatusLabel->setText(QString::fromUtf8(Core.Timer1Timer()));
    const int errors = Checks.errorCount(), warnings = Checks.warningCount();
    ProblemLabel->setText(errors + warnings == 0 ? QString()
                                                 : QString::fromUtf8("エラー %1・警告 %2 (F8)").arg(errors).arg(warnings));
    FilterLabel->setText(Filter->isFiltering() ? QString::fromUtf8("表示 %1 / %2 件")
                                                     .arg(Filter->rowCount())
                                                     .arg(Model->rowCount())
                                               : QString());
    updateEditActions();
    const QString caption = captionText();
    if (windowTitle() != caption) setWindowTitle(caption);
}

void TMainForm::StringGridXMLSelectCell(const QModelIndex& current) {
    if (!current.isValid()) return;
    Core.StringGridXMLSelectCell(current.column(), tableRowOf(current));
}

void TMainForm::StringGridXMLKeyDown() {
    const QModelIndex current = StringGridXML->currentIndex();
    if (!current.isValid()) return;
    int column = current.column();
    int row = tableRowOf(current);
    if (Core.StringGridXMLKeyDown(column, row))
        StringGridXML->setCurrentIndex(TableIndex(column, row));
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
    runLoadCommand([this, &names] {
        TReadProgress progress(this, Core);
        Core.DropFiles(names, duplicateFilter());
    });
}
