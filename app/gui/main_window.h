#pragma once

#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPoint>
#include <functional>
#include <optional>
#include <vector>
#include <string>
#include <vector>

#include "app/field_checks.h"
#include "app/main_form.h"

class QAction;
class QDockWidget;
class QLabel;
class QPlainTextEdit;
class QMenu;
class QTimer;
class TAboutBox;
class TFilterBar;
class TFindBar;
class TFormSort;
class TMapView;
class TPointMarkModel;
class TProblemList;
class TRecordFilterModel;
class TStringGrid;

// The main window: the grid over the point-mark table, the menus, the status line and its
// timer, and dropped files. It asks for file names and forwards everything else to the core.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The window's state and commands.
    TMainFormCore Core;

    TStringGrid* StringGridXML;
    TPointMarkModel* Model;
    // What the grid shows of Model: the records the filter accepts, in table order.
    TRecordFilterModel* Filter;
    // The grid's index of a table cell (invalid when the filter hides its row), and back.
    QModelIndex TableIndex(int column, int tableRow) const;
    int tableRowOf(const QModelIndex& gridIndex) const;
    QLabel* StatusLabel;
    QTimer* Timer1;
    QFileDialog* OpenDialogXML;
    QFileDialog* OpenDialogAdd;
    QFileDialog* SaveDialogXML;
    QMenu* MenuFile;
    QMenu* MenuEdit;
    QMenu* MenuHelp;
    QMenu* MenuView;
    // Shows or hides the map panel.
    QAction* ViewMap;
    QDockWidget* MapPanel;
    TMapView* MapView;
    // Shows or hides the list of the field checks' problems.
    QAction* ViewProblems;
    TProblemList* ProblemPanel;
    QAction* FileLoadXML;
    QAction* FileAdd;
    // Saves to the current file; asks for a name only when there is none the editor can write.
    QAction* FileSaveXML;
    // Always asks for the name.
    QAction* FileSaveAs;
    // The files of the latest successful loads and saves, newest first (at most kMaxRecentFiles,
    // kept in the settings); choosing one loads it as the load command does.
    QMenu* MenuRecent;
    QAction* FileExit;
    QAction* EditUndo;
    QAction* EditRedo;
    QAction* EditCut;
    QAction* EditCopy;
    QAction* EditPaste;
    // Empties the selected cells (Delete).
    QAction* EditClear;
    QAction* EditSort;
    QAction* EditAdd;
    // Inserts an empty record above the current row.
    QAction* EditInsert;
    // Deletes every row that has a selected cell (the selected row when none is selected).
    QAction* EditDelete;
    QAction* EditFind;
    QAction* EditReplace;
    QAction* EditGoTo;
    // Shows the filter row; unchecked, every record is shown again.
    QAction* EditFilter;
    TFindBar* FindBar;
    TFilterBar* FilterRow;
    // "shown / total" while a filter hides records.
    QLabel* FilterLabel;
    // The number of cells with problems.
    QLabel* ProblemLabel;
    QAction* EditNextProblem;
    // Datum conversion of the shown records with a selected cell (of the current record when
    // nothing is selected).
    QAction* EditToWgs84;
    QAction* EditToTokyo;
    // The same for every record the view shows, in the submenu すべての地点.
    QAction* EditAllToWgs84;
    QAction* EditAllToTokyo;
    QAction* EditFindDuplicates;
    QAction* EditDuplicateDistance;
    // The problems of every record, kept in step with the table for the marks and F8.
    TTableChecks Checks;
    // The menu of a right click on the cells or the row numbers.
    QMenu* GridMenu;
    QAction* HelpVersion;
    // Shows the message panel with the parser's messages of the last XML read.
    QAction* HelpMessages;
    // The panel below the grid that shows Memo1; the user may close it. It opens by itself when
    // an XML read ends with at least one message and closes when one ends without.
    QDockWidget* MessagePanel;
    QPlainTextEdit* Memo1;
    TAboutBox* AboutBox;
    // The sort dialog, created once with the window and reused.
    TFormSort* FormSort = nullptr;

    // Runs a command; any exception it raises is shown in a message box and the window goes on.
    // What the command changed before the exception stays changed.
    void runCommand(const std::function<void()>& command);
    // With unsaved changes, asks whether to save them first (保存 / 破棄 / キャンセル). True when the
    // caller may go on: nothing was unsaved, they were saved, or the user discarded them.
    bool maybeSave();
    // The caption: the current file's name and "*" while modified, before the application title.
    QString captionText() const;
    // The files named when the editor was started (names or file URLs, as a file manager gives
    // them): the first is loaded as the load command does, the others added as the add command does.
    void openFiles(const QStringList& arguments);
    // The recent files, newest first, as kept in the settings.
    QStringList recentFiles() const;
    // The width of a window whose grid shows every column beside the record numbers.
    int everyColumnWidth() const;

    static constexpr int kMaxRecentFiles = 10;

public slots:
    void FileLoadXMLClick();
    void FileAddClick();
    void FileSaveXMLClick();
    void FileSaveAsClick();
    void FileExitClick();
    void EditUndoClick();
    void EditRedoClick();
    void EditCutClick();
    void EditCopyClick();
    void EditPasteClick();
    void EditClearClick();
    void EditSortClick();
    void EditAddClick();
    void EditInsertClick();
    void EditDeleteClick();
    void EditFindClick();
    void EditReplaceClick();
    void EditGoToClick();
    void EditFilterClick();
    void ViewMapClick();
    void ViewProblemsClick();
    void EditNextProblemClick();
    void EditToWgs84Click();
    void EditToTokyoClick();
    void EditAllToWgs84Click();
    void EditAllToTokyoClick();
    void EditFindDuplicatesClick();
    void EditDuplicateDistanceClick();
    void HelpVersionClick();
    void HelpMessagesClick();
    void Timer1Timer();

protected:
    // Runs a file dialog; the chosen names, or none when it was cancelled. Tests replace it.
    virtual QStringList execFileDialog(QFileDialog& dialog);
    // Shows a modal message box.
    virtual void showMessage(QMessageBox::Icon icon, const QString& text);
    // Asks a question with the given buttons; the index of the one chosen, or -1 when the box was
    // closed otherwise (Escape counts as the button with the reject role). Tests replace it.
    virtual int askQuestion(const QString& text, const QStringList& buttons, int escapeButton);
    // Asks for a record number between 1 and last; 0 when cancelled. Tests replace it.
    virtual int askRecordNumber(int current, int last);

    void closeEvent(QCloseEvent* event) override;

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createMenus();
    // Runs a command that may read files and brings the message panel up to date when it read XML.
    void runLoadCommand(const std::function<void()>& command);
    // Shows the lines in the message panel, or hides it when there are none.
    void updateMessagePanel(const std::vector<std::string>& lines);
    // The load command on a file; a file that gave records becomes the newest recent file.
    void loadFile(const QString& name);
    void addRecentFile(const QString& name);
    void updateRecentMenu();
    // The window's size, place and column widths: those kept in the settings, or at the first start
    // the designed ones, fitted to the screen.
    void restoreWindowState();
    void saveWindowState() const;
    QFileDialog* createFileDialog(const char* objectName, QFileDialog::AcceptMode mode);
    void StringGridXMLKeyDown();
    // Saves to name; false when it failed (the error was shown).
    bool saveTo(const std::string& name);
    // Saves to the current file when it has an ending the editor writes, else as saveAs does.
    bool saveToCurrentFile();
    // Asks for a name and saves to it; false when cancelled or failed.
    bool saveAs();
    // The save dialog: a name with the chosen filter's ending added where it has none, after asking
    // before an existing file is replaced; empty when cancelled.
    QString askSaveFileName();
    // An edit about to be stored: characters that Shift_JIS lacks are named and the user chooses.
    bool acceptEditText(const QString& text);
    // The same for pasted text; false when the user would rather not paste it.
    bool acceptText(const QString& text, const QString& goBack, const QString& accept);
    // The selected cells as (column, table row), or the current cell when nothing is selected.
    std::vector<std::pair<int, int>> selectedCells() const;
    // Table rows of the selected cells, ascending (the current row when nothing is selected).
    std::vector<int> selectedRows() const;
    // Enables undo and redo as the history allows.
    void updateEditActions();
    // Find and replace with the find bar's text and options, from the current cell.
    TMatchOptions findOptions() const;
    std::u16string findText() const;
    // The table rows the filter shows, in order (empty without a filter), and the scope of a find
    // over them in the find bar's column.
    std::vector<int> shownTableRows() const;
    TSearchScope findScope(const std::vector<int>& shownRows) const;
    std::optional<TCellPos> findFrom(const QModelIndex& current, bool forward);
    void showFound(const std::optional<TCellPos>& found);
    void findNext(bool forward);
    void replaceOne();
    void replaceAll();
    // The rows the filter row's texts show (by model row of Model); empty: every row.
    std::vector<char> shownRows();
    void applyFilter();
    // Hands the rows a filter shows to the map (by table row).
    void showOnMap(const std::vector<char>& shownByModelRow);
    // A click on a column header: ascending, or the other way round when the table was last
    // sorted by that column.
    void sortByHeader(int column);
    // The table's order as the header shows it: a column and its direction, or none (column -1).
    struct TSortOrder {
        int column = -1;
        bool descending = false;
        bool operator==(const TSortOrder&) const = default;
    };
    void setSortOrder(TSortOrder order);
    // After an undo, a redo or a read: the latest sort of the session that the table is in, or none.
    void findSortOrder();
    // Converts the selected records, or with all every shown record, and says what it did.
    void convertDatum(TDatum target, bool all);
    // Records of a file being added that duplicate one of the table are asked about.
    TMainFormCore::TAddFilter duplicateFilter();
    double duplicateMetres() const;
    void StringGridXMLSelectCell(const QModelIndex& current);

    QPoint cellBeforeReset_{-1, -1};
    TSortOrder sortOrder_;              // what the table was last sorted by
    std::vector<TSortOrder> sortsMade_; // the session's sorts, latest last, each once
    std::vector<char> mapShown_; // the map's shown rows, by table row; empty: all
};

// The application title and the main window's caption.
extern const char* const kApplicationTitle;

// Where the window first appears on a screen whose free area is available: four fifths of its
// width and height, wider up to everyColumnWidth (a window showing every column), centred, and
// never so large that a window manager's frame would leave the screen. The position is that of
// the frame (QWidget::move), the size that of the window inside it (QWidget::resize).
QRect firstWindowGeometry(const QRect& available, int everyColumnWidth);
