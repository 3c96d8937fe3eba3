// Every decision of the converter's window, through a view that records what the window was told
// and a stand-in worker that shows one step per file and can be held before each. The windows'
// own tests only prove that their controls reach these decisions.
#include "dialog/ConverterController.h"

#include "batch/Messages.h"
#include "dialog/ProblemList.h"
#include "support/TestTree.h"

#include <gtest/gtest.h>
#include <map>
#include <semaphore>

namespace tolvren {
namespace {

using Field = ConverterView::Field;

class RecordingView : public ConverterView {
public:
    std::map<Field, std::string> texts;
    int selected = 0; ///< how often the source text was selected
    DialogOptions options;
    OptionStates enabled;
    std::string bar, tip, picked, pickerStart; ///< picked: what the folder picker answers
    int pos = 0;
    bool running = true, details = true, timer = false, closed = false;
    std::binary_semaphore returned{0};
    std::vector<std::string> warnings;
    std::size_t problemsShown = 0;

    std::string GetText(Field field) const override {
        return texts.contains(field) ? texts.at(field) : std::string();
    }
    void SetText(Field field, const std::string& text) override { texts[field] = text; }
    void SelectSource() override { ++selected; }
    DialogOptions GetOptions() const override { return options; }
    void SetOptions(const DialogOptions& shown) override { options = shown; }
    void EnableOptions(const OptionStates& states) override { enabled = states; }
    void SetPos(int shown) override { pos = shown; }
    void SetBarText(const std::string& text) override { bar = text; }
    void SetProblemTip(const std::string& text) override { tip = text; }
    void SetRunning(bool on) override { running = on; }
    void EnableDetails(bool enable) override { details = enable; }
    void SetFrameTimer(bool on) override { timer = on; }
    void PostRunReturned() override { returned.release(); }
    std::string PickFolder(const std::string& start) override {
        pickerStart = start;
        return picked;
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    /// What the ASS window is shown, and what the user picks each time it opens; none: 取消.
    std::vector<AssChoices> assShown;
    std::vector<AssChoices> assPicks;
    bool EditAssOptions(AssChoices& choices) override {
        assShown.push_back(choices);
        if (assPicks.empty()) {
            return false;
        }
        choices = assPicks.front();
        assPicks.erase(assPicks.begin());
        return true;
    }
    void ShowProblems(const std::vector<RunProblem>& shown) override {
        problemsShown = shown.size();
    }
    void CloseWindow() override { closed = true; }

    std::string Boxes() const {
        return GetText(Field::SourceDir) + " | " + GetText(Field::TargetDir);
    }
};

class MemoryStore : public ChoiceStore {
public:
    std::map<std::string, std::string, std::less<>> values;
    bool writable = true;

    std::optional<std::string> Read(std::string_view name) const override {
        const auto value = values.find(name);
        return value == values.end() ? std::nullopt : std::optional(value->second);
    }
    bool Write(std::string_view name, const std::string& value) override {
        values[std::string(name)] = value;
        return writable;
    }
    std::string Location() const override { return "memory"; }
};

class ConverterControllerTest : public testing::Test {
protected:
    RecordingView view;
    MemoryStore store;
    test::TestTree tree;
    // The stand-in worker: three files, held before each while `held`, until the gate lets it on.
    bool held = false;
    std::counting_semaphore<64> gate{0}, begun{0};
    RunSummary outcome;
    RunRequest request; ///< what the window gave, read once the run has been joined
    int runs = 0;
    std::vector<std::string> opened;
    OpenFolderResult openResult;
    std::optional<ConverterController> controller;

    RunSummary Run(const RunRequest& given, const RunControl& control, RunFrontEnd& window) {
        request = given;
        ++runs;
        RunSummary summary = outcome;
        summary.target = given.targetDir;
        while (summary.done < 3 && !control.StopRequested()) {
            begun.release();
            while (held && !gate.try_acquire_for(std::chrono::milliseconds(1)) &&
                   !control.ExitRequested()) {
            }
            const int done = ++summary.done;
            window.ShowProgress(
                {done, 3, done * 33, std::to_string(done) + "/3", std::to_string(done) + "毫秒"});
        }
        summary.finalText = summary.done == 3 ? "done" : "stopped";
        window.ShowFinished(summary);
        return summary;
    }
    void Open() {
        controller.emplace(
            view, store,
            [this](const RunRequest& r, const RunControl& c, RunFrontEnd& f) {
                return Run(r, c, f);
            },
            [this](const std::string& folder) {
                opened.push_back(folder);
                return openResult;
            });
        controller->OnInitDialog();
    }
    void SetUp() override { Open(); }
    void TearDown() override { gate.release(64); }

    void Type(Field field, const std::string& text) { view.texts[field] = text; }
    void Start(const std::string& source, const std::string& target) {
        Type(Field::SourceDir, source);
        Type(Field::TargetDir, target);
        controller->OnStart();
    }
    void WaitUntilBegun() { ASSERT_TRUE(begun.try_acquire_for(std::chrono::seconds(10))); }
    // What a window does when its run has returned.
    void Finish() {
        ASSERT_TRUE(view.returned.try_acquire_for(std::chrono::seconds(10)));
        controller->OnRunFinished();
    }
};

TEST_F(ConverterControllerTest, ComesBackAsItWasLeftAndShowsWhatADamagedSettingHolds) {
    EXPECT_TRUE(view.Boxes() == " | " && view.options.format == OutputFormat::Kmc &&
                view.options.encoding == "gbk" && !view.running && !view.details &&
                view.selected == 1);
    store.values = {{"SourceDir", "/歌曲"}, {"TargetDir", "/歌曲/kmc"}, {"Author", "某人\n\x7f"},
                    {"Format", "ass"},      {"Encoding", "big5"},       {"OpenTarget", "1"}};
    Open();
    EXPECT_EQ(view.Boxes(), "/歌曲 | /歌曲/kmc");
    // A control character would show as nothing: its picture shows what is there, and Start
    // still finds it.
    EXPECT_EQ(view.GetText(Field::Author), "某人␊␡");
    EXPECT_TRUE(view.options.format == OutputFormat::Ass && view.options.encoding == "big5" &&
                view.options.openTarget);
    controller->OnStart();
    EXPECT_EQ(view.bar, "作者中不能有控制字符（如换行）");
    EXPECT_EQ(view.warnings,
              std::vector<std::string>{"作者中不能有控制字符（如换行）：某人\\n\\x7f"});

    Type(Field::Author, "作者");
    view.options.format = OutputFormat::Lrc;
    controller->OnCancel();
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(store.values["Author"] + store.values["Format"] + store.values["SourceDir"],
              "作者lrc/歌曲");
    EXPECT_EQ(store.values["LrcStyle"] + store.values["Shift"] + store.values["Chinese"],
              "enhanced0");
    store.values["LrcStyle"] = "Plain";
    store.values["Shift"] = " -300";
    store.values["Chinese"] = "s2twp";
    Open();
    EXPECT_TRUE(view.options.lrcStyle == LrcStyle::Plain && view.texts[Field::Shift] == "-300" &&
                view.options.chinese == ChineseMode::S2twp && view.enabled.lrcStyle);
    // A kept value the window does not offer is not taken.
    for (const char* shift : {"12x", "86400001", "99999999999999999999", ""}) {
        store.values["Format"] = "doc";
        store.values["Encoding"] = "ebcdic";
        store.values["LrcStyle"] = "fancy";
        store.values["Chinese"] = "zz";
        store.values["Shift"] = shift;
        Open();
        EXPECT_TRUE(view.options.format == OutputFormat::Kmc && view.options.encoding == "gbk" &&
                    view.options.lrcStyle == LrcStyle::Enhanced &&
                    view.options.chinese == ChineseMode::Off && view.texts[Field::Shift] == "0")
            << shift;
    }
    // Kept or not, the window closes, and says when its choices could not be kept.
    store.writable = false;
    controller->OnCancel();
    EXPECT_EQ(view.warnings.back(), "无法保存设置：memory");
}

// Browsed to, dropped or named on the command line, a folder is the source as a run takes it:
// absolute, clean, without a trailing separator but a root's; the target proposed is its kmc
// subfolder. What names no folder changes nothing.
TEST_F(ConverterControllerTest, AChosenFolderIsTheSourceAndItsKmcSubfolderTheTarget) {
    const std::string songs = tree.MakeFolder("歌曲");
    const std::string file = tree.Write("a.ksc");
    const std::string sep(1, kPathSeparator);
    const std::string root = sep == "/" ? "/" : songs.substr(0, 3);
    const test::WorkingFolder inside(tree.Root());
    for (const auto& [given, shown] : {std::pair{songs, songs},
                                       {songs + sep, songs},
                                       {"歌曲", songs},
                                       {songs + sep + ".." + sep + "歌曲" + sep, songs},
                                       {"." + sep + "歌曲" + sep + "." + sep + sep, songs},
                                       {root, root},
                                       {file, ""},
                                       {"", ""}}) {
        // The picker (way 0) gives folders or "".
        for (int way = shown.empty() && !given.empty() ? 1 : 0; way < 3; ++way) {
            SCOPED_TRACE(given + " way " + std::to_string(way));
            view.texts = {{Field::SourceDir, "typed"}, {Field::TargetDir, "typed"}};
            view.picked = given;
            const int selected = view.selected;
            way == 0   ? controller->OnBrowseSource()
            : way == 1 ? controller->OnDrop(std::vector{given})
                       : static_cast<void>(controller->OpenFolder(given));
            EXPECT_EQ(view.Boxes(),
                      shown.empty() ? "typed | typed" : shown + " | " + JoinPath(shown, "kmc"));
            EXPECT_EQ(view.selected, selected + (shown.empty() ? 0 : 1)); // typing replaces it
        }
    }
    EXPECT_EQ(view.warnings.back(), "不是文件夹：");
    EXPECT_FALSE(ConverterController::AcceptsDrop(std::vector{songs, songs}));
    // The picker opens in the box's folder, when it names one. A target is taken as chosen, and
    // what was typed elsewhere stays.
    Type(Field::TargetDir, songs);
    Type(Field::Author, "作者");
    view.picked = root;
    controller->OnBrowseTarget();
    EXPECT_EQ(view.pickerStart, songs);
    EXPECT_EQ(view.GetText(Field::TargetDir) + view.GetText(Field::Author), root + "作者");
    controller->OnBrowseTarget();
    EXPECT_EQ(view.pickerStart, root);
}

// The bar says in short why a run cannot start, and a box says all of it where there is more; a
// time or counts the bar showed of the last run go. Nothing starts.
TEST_F(ConverterControllerTest, StartSaysWhyARunCannotStart) {
    const std::string missing = tree.Path("无此文件夹");
    const std::string file = tree.Write("song.ksc");
    for (const auto& [source, target, encoding, said, box] :
         {std::tuple<std::string, std::string, std::string, std::string, std::string>{
              "", "out", "gbk", "请填写 KSC 路径", ""},
          {tree.Root(), "", "gbk", "请填写 KMC 路径", ""},
          {missing, "out", "gbk", "KSC 路径不存在", "KSC 路径不存在：" + missing},
          {tree.Root(), file, "gbk", "KMC 路径不是文件夹", "KMC 路径不是文件夹：" + file},
          {tree.Root(), "out", "ebcdic", "无法使用编码 ebcdic", ""}}) {
        SCOPED_TRACE(said);
        view.warnings.clear();
        view.texts[Field::Elapsed] = "1234毫秒";
        view.tip = "1 个文件未能转换";
        view.options.encoding = encoding;
        Start(source, target);
        EXPECT_EQ(view.bar, said);
        EXPECT_EQ(view.warnings, box.empty() ? std::vector<std::string>{} : std::vector{box});
        EXPECT_EQ(view.GetText(Field::Elapsed) + view.tip, "");
        EXPECT_FALSE(controller->IsRunActive() || view.running || view.timer);
    }
    EXPECT_EQ(runs, 0);
}

// The format and the encoding from the options, "~" as HOME, and the target folder opened at the
// end when 打开目标目录 is ticked then, or a box that says why it could not be.
TEST_F(ConverterControllerTest, TheRunGetsTheWindowsChoicesAndOpensTheTarget) {
    const std::string out = tree.Root() + kPathSeparator + "out";
    test::SetEnvironment("HOME", tree.Root());
    for (const auto& [format, encoding, ok] :
         {std::tuple{OutputFormat::Xml, "auto", true}, {OutputFormat::Ass, "big5", false}}) {
        view.options = {format, encoding, false};
        openResult.outcome =
            ok ? OpenFolderResult::Outcome::Shown : OpenFolderResult::Outcome::NoDisplay;
        Type(Field::Author, "作者");
        Start("~", std::string("~") + kPathSeparator + "out");
        EXPECT_TRUE(view.running && view.timer && !view.details);
        view.options.openTarget = true; // read as the run ends
        Finish();
        EXPECT_EQ(request.format, format);
        EXPECT_EQ(request.encoding.Name(), InputEncoding::FromName(encoding)->Name());
        EXPECT_EQ(request.encoding.IsAutomatic(), encoding == std::string("auto"));
        EXPECT_EQ(request.sourceDir + " " + request.targetDir + request.author,
                  tree.Root() + " " + out + "作者");
    }
    EXPECT_EQ(opened, std::vector({out, out}));
    EXPECT_EQ(view.warnings,
              std::vector{"无法打开目标目录 " + NameForDisplay(out) + "：没有可显示它的桌面"});
    test::SetEnvironment("HOME", "");
    Start("~", "~");
    EXPECT_EQ(view.bar, "KSC 路径不存在");
}

// The controls of a format's options are enabled for the formats that take them; a run takes what
// its format takes of them, and 时间平移 is checked as the boxes are, only where it applies.
TEST_F(ConverterControllerTest, EachFormatTakesItsOwnOptions) {
    struct Case {
        OutputFormat format;
        const char* shift;
        OptionStates enabled;
        std::int64_t taken; ///< the request's shift
        bool plain;         ///< the request's LRC style is plain
        const char* refused = "";
    };
    for (const Case& c :
         {Case{OutputFormat::Kmc, "abc", {false, false, false}, 0, false},
          {OutputFormat::Xml, "500", {false, false, false}, 0, false},
          {OutputFormat::Lrc, " -500 ", {true, true, false}, -500, true},
          {OutputFormat::Ass, "+20", {false, true, true}, 20, false},
          {OutputFormat::Ttml, "86400000", {false, true, false}, kMaxShift, false},
          {OutputFormat::Srt, "1.5", {}, 0, false, "时间平移须是整数毫秒：1.5"},
          {OutputFormat::Srt, "-86400001", {}, 0, false, "时间平移超过了一天"},
          {OutputFormat::Srt, "9999999999999999999999", {}, 0, false, "时间平移超过了一天"}}) {
        view.options = {c.format, "gbk", false, LrcStyle::Plain, ChineseMode::Hk2s};
        controller->OnFormatChanged();
        Type(Field::Shift, c.shift);
        const int before = runs;
        Start(tree.Root(), tree.Root() + kPathSeparator + "out");
        if (*c.refused != '\0') {
            EXPECT_EQ(view.bar, c.refused);
            EXPECT_EQ(runs, before);
            continue;
        }
        Finish();
        EXPECT_EQ(view.enabled, c.enabled) << c.shift;
        EXPECT_TRUE(request.format == c.format && request.document.timing.shift == c.taken &&
                    (request.document.lrc.style == LrcStyle::Plain) == c.plain &&
                    request.chinese == ChineseMode::Hk2s)
            << c.shift;
    }
}

// ASS 选项… shows the choices a run is made with; a refused pick is said and shown again, 取消
// keeps what was there; the picks go to ASS runs only, and come back from the store, a damaged
// value as the default.
TEST_F(ConverterControllerTest, TheAssChoicesAreCheckedSentAndKept) {
    const AssChoices defaults = AssChoicesOf({});
    EXPECT_TRUE(defaults.font == kAssDefaultFont && defaults.size == 80 &&
                defaults.sung == 0x0078FF && defaults.unsung == 0xFFFFFF && defaults.rows == 0 &&
                defaults.lead.empty() && defaults.titleCard);
    AssChoices refused = defaults, picked = defaults;
    refused.linger = "30001";
    picked = {"微软雅黑", 60, 0xFF0000, 0x00FF00, 1, "4000", "", false};
    view.assPicks = {refused, picked};
    controller->OnAssOptions();
    ASSERT_EQ(view.assShown.size(), 2U);
    EXPECT_TRUE(view.assShown[0] == defaults && view.assShown[1] == refused);
    AssOptions scratch;
    EXPECT_EQ(view.warnings,
              std::vector{DescribeAssOptionError(*SetAssOption(scratch, AssOption::Linger, "30001"),
                                                 Language::Chinese)});
    controller->OnAssOptions(); // 取消
    EXPECT_EQ(view.assShown.back(), picked);
    for (const OutputFormat format : {OutputFormat::Ass, OutputFormat::Lrc}) {
        view.options.format = format;
        Start(tree.Root(), tree.Root() + kPathSeparator + "out");
        Finish();
        EXPECT_EQ(AssChoicesOf(request.document.ass) == picked, format == OutputFormat::Ass);
    }
    controller->OnCancel();
    EXPECT_EQ(store.values["AssStyle"] + "|" + store.values["AssRows"] + store.values["AssLead"] +
                  store.values["AssLinger"] + store.values["AssTitleCard"],
              "Fontname=微软雅黑,Fontsize=60,PrimaryColour=&H000000FF,SecondaryColour=&H0000FF00|"
              "140000");
    Open();
    controller->OnAssOptions();
    EXPECT_EQ(view.assShown.back(), picked);
    store.values = {{"AssStyle", "Fontsize=abc"},
                    {"AssRows", "4"},
                    {"AssLead", "-5"},
                    {"AssLinger", "1e3"},
                    {"AssTitleCard", "?"}};
    Open();
    controller->OnAssOptions();
    EXPECT_EQ(view.assShown.back(), defaults);
}

// Each frame shows the newest state and writes the fields back over what was typed meanwhile; the
// end shows the final state exactly, counts the problems and gives the buttons back.
TEST_F(ConverterControllerTest, EachFrameShowsTheRunAndItsEndShowsItExactly) {
    held = true;
    outcome.failed = outcome.warned = 1;
    outcome.problems.resize(2);
    outcome.problems[1].kind = RunProblem::Kind::Warning;
    Start(tree.Root(), "out");
    WaitUntilBegun();
    gate.release();
    WaitUntilBegun();
    controller->OnFrame();
    EXPECT_EQ(view.bar + " " + std::to_string(view.pos) + " " + view.GetText(Field::Elapsed),
              "1/3 33 1毫秒");
    Type(Field::SourceDir, "typed during the run");
    controller->OnDetails(); // the problems are the worker's until it has returned
    controller->OnFrame();   // nothing new
    EXPECT_EQ(view.GetText(Field::SourceDir), "typed during the run");
    gate.release(2);
    Finish();
    EXPECT_EQ(view.bar + " " + std::to_string(view.pos) + " " + view.GetText(Field::Elapsed),
              "done 99 3毫秒");
    EXPECT_EQ(view.GetText(Field::SourceDir), tree.Root());
    EXPECT_EQ(view.tip, ProblemCountsText(outcome));
    EXPECT_TRUE(view.details && !view.running && !view.timer && !view.closed &&
                view.problemsShown == 0);
    controller->OnDetails();
    EXPECT_EQ(view.problemsShown, 2U);
}

// Stop keeps the window; Exit, Esc and the close box (OnCancel) close it, during a run once the
// current file is done.
TEST_F(ConverterControllerTest, StopAndExitEndTheRunAfterItsFileAndTheWindowFollows) {
    for (const bool exit : {false, true}) {
        held = true;
        Start(tree.Root(), "out");
        WaitUntilBegun();
        exit ? controller->OnCancel() : controller->OnStop();
        EXPECT_FALSE(view.closed);
        gate.release();
        Finish();
        EXPECT_EQ(view.bar + " " + std::to_string(view.pos), "stopped 33");
        EXPECT_TRUE(view.closed == exit && !view.running);
    }
    controller->OnRunFinished(); // a stray post after the run was taken changes nothing
    EXPECT_EQ(runs, 2);
}

TEST(ProblemList, ACopyHoldsTheSelectedRowsInTheRunsOrderOrElseEveryRow) {
    std::vector<RunProblem> problems(3);
    std::vector<const RunProblem*> rows;
    for (std::size_t i = 0; i < problems.size(); ++i) {
        problems[i].path = std::to_string(i);
        rows.push_back(&problems[i]);
    }
    EXPECT_EQ(CopiedProblems(problems, {2, 0}), ProblemListText({rows[0], rows[2]}));
    EXPECT_EQ(CopiedProblems(problems, {}), ProblemListText(rows));
}

} // namespace
} // namespace tolvren
