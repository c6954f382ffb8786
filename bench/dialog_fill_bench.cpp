// What filling the weekly overview's seven day boxes and the remove dialog's list costs, each in
// the real dialog made from its template, beside a floor measured in the same run: one bare
// enumeration of the same key plus the least any fill must do to the controls (the seven final
// texts set once; the same strings added to the sorted list).
//
// Usage: dialog_fill_bench [--rounds N] [entries ...]   (defaults: 5; 10 100 1000 10000)
// Fewer rounds make a quadratic fill measurable at all, at the price of a noisier median.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../res/resource.h"
#include "bench_timing.h"
#include "dialog_support.h"
#include "dialogs/dialogs.h"
#include "fake_platform.h"
#include "registry.h"
#include "shell/shell.h"

namespace {

const int kDayBoxes[7] = {IDC_MONDAY,   IDC_TUESDAY,  IDC_WEDNESDAY, IDC_THURSDAY,
                          IDC_FRIDAY,   IDC_SATURDAY, IDC_SUNDAY};
const char kPlaceholder[] = "<Select entry to remove>";

size_t minimumRounds = 5;

// Runs the measured step and its floor alternately, so that drift in the machine's load falls
// on both alike, at least minimumRounds times and until about two seconds have gone or 201 rounds.
struct Pair {
    double measured, floor;
};
template <typename Reset, typename Measured, typename Floor>
Pair MeasurePair(Reset reset, Measured measured, Floor floor)
{
    std::vector<double> a, b;
    double began = MicrosecondsNow();
    while (a.size() < minimumRounds || (MicrosecondsNow() - began < 2e6 && a.size() < 201)) {
        reset();
        double start = MicrosecondsNow();
        measured();
        a.push_back(MicrosecondsNow() - start);
        reset();
        start = MicrosecondsNow();
        floor();
        b.push_back(MicrosecondsNow() - start);
    }
    return {Median(a), Median(b)};
}

void FillStore(int size, bool oneDay)
{
    reg::ClearStore();
    char name[64], text[32];
    for (int i = 0; i < size; i++) {
        int day = oneDay ? 3 : 1 + i % 7;
        wsprintfA(name, "%d%.2d%.2d%cMProgramme %d", day, 1 + i % 12, i % 60, i % 2 ? 'P' : 'A',
                  i);
        wsprintfA(text, "Programme %d", i);
        reg::PutString(name, text);
    }
    reg::PutString("alertmode", "1");
}

std::vector<std::string> BoxTexts(HWND overview)
{
    std::vector<std::string> texts;
    for (int id : kDayBoxes)
        texts.push_back(WindowText(GetDlgItem(overview, id)));
    return texts;
}

// A refresh is exactly what the add and remove dialogs send; the boxes hold the full week
// before each round of either kind, as they do when a user's refresh comes.
Pair MeasureOverview(HWND overview)
{
    SendMessageA(overview, WM_INITDIALOG, 0, 0);
    std::vector<std::string> finalTexts = BoxTexts(overview);
    Pair pair = MeasurePair([] {}, [&] { SendMessageA(overview, WM_INITDIALOG, 0, 0); },
                            [&] {
                                BareScan(KEY_ALL_ACCESS);
                                for (int day = 0; day < 7; day++)
                                    SetWindowTextA(GetDlgItem(overview, kDayBoxes[day]),
                                                   finalTexts[day].c_str());
                            });
    SendMessageA(overview, WM_INITDIALOG, 0, 0);
    if (BoxTexts(overview) != finalTexts)
        std::printf("unexpected: the overview's boxes changed between fills\n");
    return pair;
}

// The floor adds the list's strings in the order the dialog meets them, since the cost of a
// sorted insertion depends on that order.
Pair MeasureRemoveList(HWND remove)
{
    HWND list = GetDlgItem(remove, IDC_ENTRYLIST);
    std::vector<std::string> strings = {kPlaceholder};
    for (const RawValue &value : reg::AllValues())
        if (value.type == REG_SZ && value.name.size() > 6 && value.name[6] == 'M')
            strings.push_back(value.bytes.c_str());
    Pair pair = MeasurePair([&] { SendMessageA(list, CB_RESETCONTENT, 0, 0); },
                            [&] { SendMessageA(remove, WM_INITDIALOG, 0, 0); },
                            [&] {
                                BareScan(KEY_ALL_ACCESS);
                                for (const std::string &text : strings)
                                    SendMessageA(list, CB_ADDSTRING, 0, (LPARAM)text.c_str());
                            });
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    SendMessageA(remove, WM_INITDIALOG, 0, 0);
    if (SendMessageA(list, CB_GETCOUNT, 0, 0) != (LRESULT)strings.size())
        std::printf("unexpected: the list has %ld items, not %zu\n",
                    (long)SendMessageA(list, CB_GETCOUNT, 0, 0), strings.size());
    return pair;
}

}  // namespace

int main(int argc, char **argv)
{
    AppInstance = GetModuleHandleA(NULL);
    fake::Reset();
    std::vector<int> sizes;
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) == "--rounds" && i + 1 < argc)
            minimumRounds = (size_t)std::max(1, std::atoi(argv[++i]));
        else
            sizes.push_back(std::atoi(argv[i]));
    }
    if (sizes.empty())
        sizes = {10, 100, 1000, 10000};

    std::printf("Medians in microseconds; floor = bare scan + the controls' least work.\n");
    std::printf("%-13s %7s | %12s %12s %6s | %12s %12s %6s\n", "store", "entries", "overview",
                "floor", "ratio", "remove list", "floor", "ratio");
    for (bool oneDay : {true, false})
        for (int size : sizes) {
            FillStore(size, oneDay);
            HWND overview = CreateModeless(IDD_SETTINGS, SettingsDialogProc);
            HWND remove = CreateModeless(IDD_REMOVEENTRY, RemoveEntryDialogProc);
            Pair week = MeasureOverview(overview);
            Pair list = MeasureRemoveList(remove);
            std::printf("%-13s %7d | %12.1f %12.1f %6.2f | %12.1f %12.1f %6.2f\n",
                        oneDay ? "one day" : "over the week", size, week.measured, week.floor,
                        week.measured / week.floor, list.measured, list.floor,
                        list.measured / list.floor);
            std::fflush(stdout);
            DestroyWindow(remove);
            DestroyWindow(overview);
        }
    reg::ClearStore();
    return 0;
}
