// Undo and redo on 100,000 records: a sort by 地点名, a delete of 50,000 selected rows and a paste
// of 10,000 x 16 cells, each undone and redone. Prints each step's undo and redo time as a ratio
// of the command's own time (median of five rounds), and the history's memory after all three
// against the table's.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/run_times.h"
#include "app/main_form.h"
#include "text/code_page_932.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kRounds = 5;

void fillTable(TMainFormCore& form) {
    static const std::u16string pieces[] = {u"さくら", u"東京",  u"タワー", u"Station", u"公園", u"コンビニ",
                                            u"カフェ", u"ﾗｰﾒﾝ", u"10",     u"銀行",    u"えき", u"中央"};
    std::mt19937 random(7);
    std::vector<TPointMarkRow> rows(kRecords + 1);
    rows[0] = form.Table.row(0);
    for (int r = 1; r <= kRecords; ++r) {
        for (int c = 0; c < kColumnCount; ++c) rows[r][c] = "cell" + std::to_string(c) + "-" + std::to_string(r);
        std::u16string name;
        for (int i = 0, parts = 1 + static_cast<int>(random() % 3); i < parts; ++i)
            name += pieces[random() % std::size(pieces)];
        rows[r][4] = cp932::encode(name);
    }
    form.Table.swapRows(rows);
    form.Table.RecordCount = kRecords;
}

std::size_t tableBytes(const TPointMarkTable& table) {
    std::size_t bytes = table.rows().capacity() * sizeof(TPointMarkRow);
    for (const TPointMarkRow& row : table.rows()) bytes += row.heapBytes();
    return bytes;
}

} // namespace

int main() {
    std::vector<int> everyOther;
    for (int r = 1; r <= kRecords; r += 2) everyOther.push_back(r);
    std::vector<std::vector<std::string>> block(10000, std::vector<std::string>(kColumnCount));
    for (std::size_t i = 0; i < block.size(); ++i)
        for (int c = 0; c < kColumnCount; ++c) block[i][c] = "pasted" + std::to_string(i) + "-" + std::to_string(c);

    struct Step {
        const char* name;
        std::function<void(TMainFormCore&)> command;
        std::vector<double> command_ms, undo_ms, redo_ms;
    };
    std::vector<Step> steps = {
        {"sort by name", [](TMainFormCore& f) { f.EditSortClick(4); }, {}, {}, {}},
        {"delete 50,000 rows", [&](TMainFormCore& f) { f.EditDeleteRows(everyOther); }, {}, {}, {}},
        {"paste 10,000 x 16", [&](TMainFormCore& f) { f.EditPaste(0, 20001, block); }, {}, {}, {}},
    };
    std::size_t historyBytes = 0, bytesOfTable = 0;
    for (int round = 0; round < kRounds; ++round) {
        TMainFormCore form;
        fillTable(form);
        bytesOfTable = tableBytes(form.Table);
        for (Step& step : steps) {
            step.command_ms.push_back(millisecondsOf([&] { step.command(form); }));
            step.undo_ms.push_back(millisecondsOf([&] { form.EditUndoClick(); }));
            step.redo_ms.push_back(millisecondsOf([&] { form.EditRedoClick(); }));
        }
        historyBytes = form.History.heldBytes();
    }
    std::printf("%-20s %12s %10s %10s %12s %12s\n", "step (100,000 rows)", "command ms", "undo ms", "redo ms",
                "undo/command", "redo/command");
    for (const Step& step : steps) {
        const double command = median(step.command_ms), undo = median(step.undo_ms), redo = median(step.redo_ms);
        std::printf("%-20s %12.2f %10.2f %10.2f %12.2f %12.2f\n", step.name, command, undo, redo, undo / command,
                    redo / command);
    }
    std::printf("history after the three steps: %.1f MiB, table at the start: %.1f MiB, ratio %.2f\n",
                static_cast<double>(historyBytes) / (1 << 20), static_cast<double>(bytesOfTable) / (1 << 20),
                static_cast<double>(historyBytes) / static_cast<double>(bytesOfTable));
    return 0;
}
