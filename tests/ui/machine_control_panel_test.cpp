// The machine control panel on real windows: what each control queues at the
// front of the machine control's operation list, the jog arrows' press and
// stop, the height measurement, the fields, and the panel in three languages.
#include <cmath>
#include <cstdint>
#include <functional>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "JogMove.h"
#include "MachineControlRules.h"
#include "MachinePackageShortcuts.h"
#include "MachinePackages.h"
#include "S3GCommands.h"
#include "TempDir.h"
#include "WxPump.h"
#include "ZELKMachineControl.h"
#include "ZELKMachineControlWnd.h"
#include "ZELKStartGCodeOperater.h"
#include "../machine_link/SimThread.h"
#include "UiTestSupport.h"
#include "WxInput.h"

using uitest::Pump;
using Panel = ZELKMachineControlWnd;
namespace s3g = zelk::s3g;

namespace {

// ---------------------------------------------------------------- rules without windows

TEST(MachineControlRules, JogStepsAndDirectionsFollowTheListAndTheArrowCodes)
{
    const double steps[] = {0.1, 0.5, 1.0, 5.0, 160.0};
    for (int entry = 0; entry < 5; ++entry)
        EXPECT_DOUBLE_EQ(zelk::JogStepMm(entry), steps[entry]) << entry;
    EXPECT_EQ(zelk::JogStepMm(-1), 0.0);
    EXPECT_EQ(zelk::JogStepMm(5), 0.0);

    const struct {
        int code;
        char letter;
        int sign;
    } directions[] = {{0, 'X', 1}, {1, 'X', -1}, {2, 'Y', 1}, {3, 'Y', -1}, {4, 'Z', -1}, {5, 'Z', 1}};
    for (const auto& d : directions) {
        zelk::JogDirection out;
        ASSERT_TRUE(zelk::JogDirectionOf(d.code, out)) << d.code;
        EXPECT_EQ(out.letter, d.letter) << d.code;
        EXPECT_EQ(out.sign, d.sign) << d.code;
        EXPECT_EQ(out.axis, d.letter - 'X') << d.code;
    }
    zelk::JogDirection out;
    EXPECT_FALSE(zelk::JogDirectionOf(6, out));
    EXPECT_FALSE(zelk::JogDirectionOf(-1, out));
    EXPECT_EQ(zelk::JogLine('Y', -5.0, 2400.0), "G1 Y-5.000000 F2400.000000");
}

TEST(MachineControlRules, FineStepsShownPositiveMoveTowardTheNozzle)
{
    EXPECT_EQ(zelk::FineStepLine(0), "G1 X0.0 Y0.0 Z-0.1 F450");
    EXPECT_EQ(zelk::FineStepLine(2), "G1 X0.0 Y0.0 Z-0.5 F450");
    EXPECT_EQ(zelk::FineStepLine(3), "G1 X0.0 Y0.0 Z0.1 F450");
    EXPECT_EQ(zelk::FineStepLine(5), "G1 X0.0 Y0.0 Z0.5 F450");
    EXPECT_EQ(zelk::FineStepLine(-1), "");
    EXPECT_EQ(zelk::FineStepLine(6), "");
}

TEST(MachineControlRules, TemperaturesAreWholeDegreesWithinRangeAndNeverGuessed)
{
    const struct {
        const char* text;
        int maxC;
        bool ok;
        int tempC;
    } cases[] = {{"215.6", 300, true, 215}, {"300", 300, true, 300}, {"0", 300, true, 0},   {" 60 ", 100, true, 60},
                 {"301", 300, false, 0},    {"100.5", 100, false, 0}, {"-1", 300, false, 0}, {"abc", 300, false, 0},
                 {"", 300, false, 0},       {"20x", 300, false, 0},  {"0x20", 300, false, 0}, {"nan", 300, false, 0}};
    for (const auto& c : cases) {
        int tempC = -7;
        EXPECT_EQ(zelk::ReadTemperature(c.text, c.maxC, tempC), c.ok) << c.text;
        EXPECT_EQ(tempC, c.ok ? c.tempC : -7) << c.text;
    }
    double heightMm = 0;
    EXPECT_TRUE(zelk::ReadHeight("141.5", heightMm));
    EXPECT_DOUBLE_EQ(heightMm, 141.5);
    EXPECT_FALSE(zelk::ReadHeight("high", heightMm));
    EXPECT_FALSE(zelk::ExtruderHotEnoughToFeed(170));
    EXPECT_TRUE(zelk::ExtruderHotEnoughToFeed(171));
}

TEST(MachineControlRules, AContinuousPressOwesExactlyOneStop)
{
    zelk::JogPress press;
    EXPECT_FALSE(press.End()) << "nothing held";
    EXPECT_TRUE(press.Press(true));
    EXPECT_FALSE(press.Press(true)) << "a second press while held starts nothing";
    EXPECT_TRUE(press.End());
    EXPECT_FALSE(press.End());
    EXPECT_FALSE(press.IsHeld());
    EXPECT_TRUE(press.Press(false));
    EXPECT_FALSE(press.End()) << "a step jog ends by itself";
}

// ---------------------------------------------------------------- the panel

using Bytes = std::vector<unsigned char>;

int Command(const Package& p) { return p.PayloadSize() > 0 ? p.Payload()[0] : -1; }

std::int32_t Field32(const Package& p, int offset)
{
    const unsigned char* b = p.Payload() + offset;
    return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
}

// The target of an accelerated point on axis 0 X, 1 Y, 2 Z, in steps.
std::int32_t Target(const Package& p, int axis) { return Field32(p, 1 + 4 * axis); }

int CountCommand(const std::vector<Package>& list, int command)
{
    int n = 0;
    for (const Package& p : list)
        n += Command(p) == command ? 1 : 0;
    return n;
}

ZELKMachineControl* Control() { return ZELKMachineControl::GetMachineControl(); }

// What waits in front of anything the panel queues; it must stay last.
Package Marker() { return zelk::PrintPercentPackage(42); }

// Gives up the capture as the desktop does when another window grabs the mouse.
void LoseCapture(ZELKStaticCtrl* arrow) { arrow->GTKReleaseMouseAndNotify(); }

class MachineControlPanel : public uitest::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        Control()->RemoveOperatePackList();
        m_panel = new Panel(m_view, wxPoint(85, 203));
        m_panel->Translate();
        m_panel->Show();
        Pump();
        Control()->AddOperationPackage(Marker());
    }
    void TearDown() override
    {
        if (m_panel != nullptr)
            m_panel->Destroy();
        Pump();
        Control()->RemoveOperatePackList();
        Panel::SetMeasurePeriodMs(Panel::kMeasurePeriodMs);
        UiFixture::TearDown();
    }

    template <typename T>
    T* Item(int id)
    {
        return dynamic_cast<T*>(m_panel->FindWindow(id));
    }
    ZELKStaticCtrl* Arrow(int id) { return Item<ZELKStaticCtrl>(id); }

    void Mouse(wxWindow* window, wxEventType type, wxPoint at = wxPoint(5, 5))
    {
        wxMouseEvent event(type);
        event.SetEventObject(window);
        event.SetPosition(at);
        event.SetLeftDown(type == wxEVT_LEFT_DOWN || type == wxEVT_LEFT_DCLICK);
        window->ProcessWindowEvent(event);
    }
    void Button(int id) { testsupport::PressButton(m_panel, id); }
    void Enter(int editId)
    {
        wxWindow* edit = m_panel->FindWindow(editId);
        wxKeyEvent enter(wxEVT_CHAR_HOOK);
        enter.m_keyCode = WXK_RETURN;
        enter.SetEventObject(edit);
        m_panel->ProcessWindowEvent(enter);
    }
    void SelectJogStep(int entry) { Item<wxChoice>(Panel::ID_LIST_JOG)->SetSelection(entry); }

    // What the panel queued, ahead of the marker; fails when the marker is
    // no longer last (something went in behind what was waiting).
    std::vector<Package> Queued()
    {
        std::vector<Package> list = Control()->GetOperatePackList();
        EXPECT_FALSE(list.empty());
        if (list.empty())
            return list;
        EXPECT_EQ(list.back(), Marker()) << "the panel's packages must go in front of what waits";
        list.pop_back();
        return list;
    }
    void ClearQueue()
    {
        Control()->RemoveOperatePackList();
        Control()->AddOperationPackage(Marker());
    }
    std::vector<int> QueuedCommands()
    {
        std::vector<int> commands;
        for (const Package& p : Queued())
            commands.push_back(Command(p));
        return commands;
    }
    // Motor steps of `mm` on an axis, as the printer's model counts them.
    static std::int32_t Steps(double mm, int axis)
    {
        return static_cast<std::int32_t>(
            std::lround(mm * zelk::AxisLimitsOf(Control()->GetMachine(), axis).stepsPerMM));
    }

    Panel* m_panel = nullptr;
};

TEST_F(MachineControlPanel, StartsWithContinuousJogAndTheStartGCodeValues)
{
    auto* jog = Item<wxChoice>(Panel::ID_LIST_JOG);
    ASSERT_EQ(jog->GetCount(), 5u);
    EXPECT_EQ(jog->GetSelection(), zelk::kContinuousJogEntry);
    EXPECT_EQ(jog->GetString(4), wxString::FromUTF8("持续"));
    EXPECT_EQ(jog->GetString(2), "1.0mm");
    EXPECT_EQ(Item<wxChoice>(Panel::ID_LIST_FINE)->GetSelection(), 2);
    const ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    EXPECT_EQ(Item<wxTextCtrl>(Panel::ID_EDIT_EXTRUDER)->GetValue(), startGCode->GetExtrudeTemperature());
    EXPECT_EQ(Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->GetValue(), startGCode->GetZAxisHeight());
    EXPECT_FALSE(m_panel->FindWindow(Panel::ID_EDIT_PLATFORM)->IsShown());
    EXPECT_FALSE(m_panel->FindWindow(Panel::ID_BUTTON_SET_PLATFORM)->IsShown());
    EXPECT_EQ(m_panel->FindWindow(Panel::ID_CAPTION)->GetLabel(), wxString::FromUTF8("机器控制:"));

    jog->SetSelection(1);
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    m_panel->Translate();
    EXPECT_EQ(jog->GetString(4), "Continuous");
    EXPECT_EQ(jog->GetSelection(), zelk::kContinuousJogEntry) << "a language change selects continuous jogging";
    EXPECT_EQ(m_panel->FindWindow(Panel::ID_BUTTON_SET_HEIGHT)->GetLabel(), "Set height");
}

// Each arrow with step 1.0 mm: first the origin, then the move on its axis
// with its sign, both ahead of what was waiting.
TEST_F(MachineControlPanel, EachArrowQueuesTheOriginThenItsMoveAtTheFront)
{
    const struct {
        int id;
        int axis;
        int sign;
    } arrows[] = {{Panel::ID_ARROW_X_PLUS, 0, 1},  {Panel::ID_ARROW_X_MINUS, 0, -1}, {Panel::ID_ARROW_Y_PLUS, 1, 1},
                  {Panel::ID_ARROW_Y_MINUS, 1, -1}, {Panel::ID_ARROW_Z_PLUS, 2, 1},  {Panel::ID_ARROW_Z_MINUS, 2, -1}};
    SelectJogStep(2);
    for (const auto& a : arrows) {
        ClearQueue();
        Mouse(Arrow(a.id), wxEVT_LEFT_DOWN);
        Mouse(Arrow(a.id), wxEVT_LEFT_UP);
        const std::vector<Package> queued = Queued();
        ASSERT_EQ(queued.size(), 2u) << a.id;
        EXPECT_EQ(Command(queued[0]), s3g::kCmdSetExtendedPosition) << a.id;
        for (int axis = 0; axis < 5; ++axis)
            EXPECT_EQ(Field32(queued[0], 1 + 4 * axis), 0) << a.id;
        EXPECT_EQ(Command(queued[1]), s3g::kCmdQueueAcceleratedPoint) << a.id;
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(Target(queued[1], axis), axis == a.axis ? a.sign * Steps(1.0, axis) : 0) << a.id << " " << axis;
    }
}

TEST_F(MachineControlPanel, ContinuousJogMovesFarAndStopsOnceHoweverThePressEnds)
{
    ZELKStaticCtrl* arrow = Arrow(Panel::ID_ARROW_Y_PLUS);
    const struct {
        const char* how;
        std::function<void()> end;
    } endings[] = {
        {"release on the arrow", [&] { Mouse(arrow, wxEVT_LEFT_UP); }},
        {"release outside it", [&] { Mouse(arrow, wxEVT_LEFT_UP, wxPoint(-200, 300)); }},
        {"capture lost", [&] { LoseCapture(arrow); }},
        {"panel hidden", [&] { m_panel->Hide(); }},
        {"link gone", [&] { m_panel->EndJog(); }},
    };
    for (const auto& ending : endings) {
        ClearQueue();
        m_panel->Show();
        Mouse(arrow, wxEVT_LEFT_DOWN);
        EXPECT_TRUE(arrow->IsPressed()) << ending.how;
        // Held, the arrow gets the release wherever the pointer goes.
        EXPECT_EQ(wxWindow::GetCapture(), arrow) << ending.how;
        ending.end();
        EXPECT_FALSE(arrow->IsPressed()) << ending.how;
        EXPECT_NE(wxWindow::GetCapture(), arrow) << ending.how;
        const std::vector<Package> queued = Queued();
        // Whatever else reports the end afterwards sends nothing more.
        Mouse(arrow, wxEVT_LEFT_UP);
        LoseCapture(arrow);
        m_panel->EndJog();
        EXPECT_EQ(Queued(), queued) << ending.how;

        // The stop went in ahead of the jog, which had not been sent yet.
        ASSERT_EQ(queued.size(), 4u) << ending.how;
        EXPECT_EQ(std::vector<Package>(queued.begin(), queued.begin() + 2), ZELKCAD::GetMoveStopPack()) << ending.how;
        EXPECT_EQ(Command(queued[2]), s3g::kCmdSetExtendedPosition) << ending.how;
        EXPECT_EQ(Command(queued[3]), s3g::kCmdQueueAcceleratedPoint) << ending.how;
        EXPECT_EQ(Target(queued[3], 1), Steps(160.0, 1)) << ending.how;
    }
}

TEST_F(MachineControlPanel, DestroyingThePanelMidJogStopsTheJogOnce)
{
    Mouse(Arrow(Panel::ID_ARROW_X_MINUS), wxEVT_LEFT_DOWN);
    m_panel->Destroy();
    m_panel = nullptr;
    Pump();
    const std::vector<Package> queued = Queued();
    EXPECT_EQ(CountCommand(queued, s3g::kQueryExtendedPosition), 1);
    ASSERT_EQ(queued.size(), 4u);
    EXPECT_EQ(std::vector<Package>(queued.begin(), queued.begin() + 2), ZELKCAD::GetMoveStopPack());
}

TEST_F(MachineControlPanel, ADoubleClickStartsOneMove)
{
    ZELKStaticCtrl* arrow = Arrow(Panel::ID_ARROW_Z_PLUS);
    for (int entry : {2, zelk::kContinuousJogEntry}) {
        ClearQueue();
        SelectJogStep(entry);
        // What the desktop delivers for a double click.
        Mouse(arrow, wxEVT_LEFT_DOWN);
        Mouse(arrow, wxEVT_LEFT_UP);
        Mouse(arrow, wxEVT_LEFT_DCLICK);
        Mouse(arrow, wxEVT_LEFT_UP);
        const std::vector<Package> queued = Queued();
        EXPECT_EQ(CountCommand(queued, s3g::kCmdQueueAcceleratedPoint), 1) << entry;
        EXPECT_EQ(CountCommand(queued, s3g::kQueryExtendedPosition), entry == 2 ? 0 : 1) << entry;
        EXPECT_FALSE(arrow->IsPressed());
    }
}

TEST_F(MachineControlPanel, ButtonsQueueTheirLinesInOrderAtTheFront)
{
    using Check = std::function<void(const std::vector<Package>&)>;
    const auto zTarget = [this](int index, double mm) {
        return Check([=, this](const std::vector<Package>& q) { EXPECT_EQ(Target(q.at(index), 2), Steps(mm, 2)); });
    };
    const struct {
        int button;
        int fineEntry;
        std::vector<int> commands;
        Check check;
    } cases[] = {
        {Panel::ID_BUTTON_LOCK, -1, {s3g::kCmdEnableAxes},
         [](const std::vector<Package>& q) { EXPECT_EQ(q.at(0), zelk::EnableAllAxesPackage()); }},
        // Z goes up to its end, then every axis lets go.
        {Panel::ID_BUTTON_UNLOCK, -1, {s3g::kCmdFindAxesMaximum, s3g::kCmdEnableAxes},
         [](const std::vector<Package>& q) {
             EXPECT_EQ(q.at(0).Payload()[1], s3g::kAxisZ);
             EXPECT_EQ(q.at(1).Payload()[1], s3g::kAllAxes);
         }},
        {Panel::ID_BUTTON_COARSE, -1,
         {s3g::kCmdFindAxesMaximum, s3g::kCmdSetExtendedPosition, s3g::kCmdQueueAcceleratedPoint}, zTarget(2, -138.0)},
        // Shown as 0.1: toward the nozzle; shown as -0.1: away from it.
        {Panel::ID_BUTTON_FINE, 0, {s3g::kCmdSetExtendedPosition, s3g::kCmdQueueAcceleratedPoint}, zTarget(1, -0.1)},
        {Panel::ID_BUTTON_FINE, 3, {s3g::kCmdSetExtendedPosition, s3g::kCmdQueueAcceleratedPoint}, zTarget(1, 0.1)},
        {Panel::ID_BUTTON_STOP, -1, {Command(zelk::HaltSteppersPackage())},
         [](const std::vector<Package>& q) { EXPECT_EQ(q.at(0), zelk::HaltSteppersPackage()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "button " << c.button << ", fine entry " << c.fineEntry);
        ClearQueue();
        if (c.fineEntry >= 0)
            Item<wxChoice>(Panel::ID_LIST_FINE)->SetSelection(c.fineEntry);
        Button(c.button);
        EXPECT_EQ(QueuedCommands(), c.commands);
        c.check(Queued());
    }
    EXPECT_TRUE(m_capture.Messages().empty());
}

TEST_F(MachineControlPanel, MeasuringIdlesTheJogUntilTheHeightSettles)
{
    Panel::SetMeasurePeriodMs(5);
    const int idled[] = {Panel::ID_ARROW_X_MINUS, Panel::ID_ARROW_X_PLUS,  Panel::ID_ARROW_Y_MINUS,
                         Panel::ID_ARROW_Y_PLUS,  Panel::ID_ARROW_Z_MINUS, Panel::ID_ARROW_Z_PLUS,
                         Panel::ID_BUTTON_LOCK,   Panel::ID_BUTTON_UNLOCK, Panel::ID_BUTTON_COARSE,
                         Panel::ID_BUTTON_FINE,   Panel::ID_BUTTON_SET_HEIGHT};
    const wxString height = Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->GetValue();
    EXPECT_FALSE(m_panel->SetMeasuredZ(7.5)) << "not measuring";
    EXPECT_EQ(Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->GetValue(), height) << "a jog's position is no height";

    Button(Panel::ID_BUTTON_MEASURE);
    EXPECT_TRUE(m_panel->IsMeasuring());
    EXPECT_EQ(QueuedCommands(), (std::vector<int>{s3g::kCmdSetExtendedPosition, s3g::kCmdFindAxesMaximum}));
    for (int id : idled)
        EXPECT_FALSE(m_panel->FindWindow(id)->IsEnabled()) << id;
    EXPECT_TRUE(m_panel->FindWindow(Panel::ID_BUTTON_MEASURE)->IsEnabled());
    EXPECT_TRUE(m_panel->FindWindow(Panel::ID_BUTTON_FEED)->IsEnabled());

    // A disabled arrow starts nothing.
    ClearQueue();
    Mouse(Arrow(Panel::ID_ARROW_Z_MINUS), wxEVT_LEFT_DOWN);
    Mouse(Arrow(Panel::ID_ARROW_Z_MINUS), wxEVT_LEFT_UP);
    EXPECT_EQ(CountCommand(Control()->GetOperatePackList(), s3g::kCmdQueueAcceleratedPoint), 0);

    // The timer asks for the position, at the front.
    ASSERT_TRUE(testsupport::PumpUntil(
        [] { return CountCommand(Control()->GetOperatePackList(), s3g::kQueryExtendedPosition) >= 2; }, 5000));
    EXPECT_EQ(Command(Control()->GetOperatePackList().front()), s3g::kQueryExtendedPosition);

    EXPECT_FALSE(m_panel->SetMeasuredZ(2.0));
    EXPECT_FALSE(m_panel->SetMeasuredZ(4.3));  // still rising
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(m_panel->SetMeasuredZ(4.3)) << "unchanged reply " << i + 1;
    EXPECT_TRUE(m_panel->IsMeasuring());
    EXPECT_EQ(Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->GetValue(), "4.3");
    EXPECT_TRUE(m_panel->SetMeasuredZ(4.3)) << "the fourth unchanged reply ends it";
    EXPECT_FALSE(m_panel->IsMeasuring());
    for (int id : idled)
        EXPECT_TRUE(m_panel->FindWindow(id)->IsEnabled()) << id;
    EXPECT_FALSE(m_panel->SetMeasuredZ(4.3)) << "ended once";
}

// Puts the start G-code's temperatures and height back after a test.
class StartGCodeRestore {
public:
    ~StartGCodeRestore()
    {
        Editor()->SetStartGCodeData(std::stod(m_extruder), StartGCode_ExtruderTemperature);
        Editor()->SetStartGCodeData(std::stod(m_platform), StartGCode_PlatformTemperature);
        Editor()->SetStartGCodeData(std::stod(m_height), StartGCode_ZHeight);
    }
    static ZELKStartGCodeOperater* Editor() { return ZELKStartGCodeOperater::GetStartGCodeOperaterObject(); }

private:
    std::string m_extruder = Editor()->GetExtrudeTemperature();
    std::string m_platform = Editor()->GetPlateTemperature();
    std::string m_height = Editor()->GetZAxisHeight();
};

TEST_F(MachineControlPanel, ExtruderTemperatureIsSentInWholeDegreesAndKeptInTheStartGCode)
{
    StartGCodeRestore restore;
    auto* edit = Item<wxTextCtrl>(Panel::ID_EDIT_EXTRUDER);
    const std::vector<std::string> before = StartGCodeRestore::Editor()->GetLines();
    for (const char* refused : {"301", "abc", "", "-5"}) {
        edit->ChangeValue(refused);
        Button(Panel::ID_BUTTON_SET_EXTRUDER);
        EXPECT_TRUE(Queued().empty()) << refused;
    }
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>(4, "id_message_extruderTemRange"));
    EXPECT_EQ(StartGCodeRestore::Editor()->GetLines(), before) << "a refused value was stored";

    edit->ChangeValue("215.6");
    Button(Panel::ID_BUTTON_SET_EXTRUDER);
    const std::vector<Package> queued = Queued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], ZELKCAD::GetPack("M104 S215"));
    EXPECT_EQ(Command(queued[0]), s3g::kCmdToolAction);
    EXPECT_EQ(queued[0].Payload()[4] | (queued[0].Payload()[5] << 8), 215);
    EXPECT_EQ(StartGCodeRestore::Editor()->GetLines().at(0), "M104 S215 T0");
    ASSERT_NE(m_ui->GetGCodeWnd(), nullptr);
    EXPECT_EQ(dynamic_cast<wxTextCtrl*>(m_ui->GetGCodeWnd()->FindWindow(ZELKGCodeWnd::ID_EDIT_EXTRUDER))->GetValue(),
              "215");
    EXPECT_EQ(m_capture.Messages().size(), 4u);
}

TEST_F(MachineControlPanel, EnterInAFieldDoesItsButtonAndKeepsThePanelOpen)
{
    StartGCodeRestore restore;
    Item<wxTextCtrl>(Panel::ID_EDIT_EXTRUDER)->ChangeValue("205");
    Enter(Panel::ID_EDIT_EXTRUDER);
    EXPECT_TRUE(m_panel->IsShown());
    EXPECT_EQ(Queued(), std::vector<Package>{ZELKCAD::GetPack("M104 S205")});

    ClearQueue();
    Item<wxTextCtrl>(Panel::ID_EDIT_PLATFORM)->ChangeValue("101");
    Enter(Panel::ID_EDIT_PLATFORM);
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_platformTemRange"});
    Item<wxTextCtrl>(Panel::ID_EDIT_PLATFORM)->ChangeValue("60");
    Enter(Panel::ID_EDIT_PLATFORM);
    EXPECT_EQ(Queued(), std::vector<Package>{ZELKCAD::GetPack("M109 S60")});
    EXPECT_TRUE(m_panel->IsShown());

    ClearQueue();
    Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->ChangeValue("high");
    Enter(Panel::ID_EDIT_HEIGHT);
    // No range applies here, so the refusal quotes none.
    EXPECT_EQ(m_capture.Keys().back(), "id_message_heightNotNumber");
    const std::size_t refusals = m_capture.Keys().size();
    Item<wxTextCtrl>(Panel::ID_EDIT_HEIGHT)->ChangeValue("141.5");
    Enter(Panel::ID_EDIT_HEIGHT);
    EXPECT_TRUE(m_panel->IsShown());
    EXPECT_TRUE(Queued().empty()) << "the start height is only stored";
    EXPECT_EQ(m_capture.Keys().size(), refusals) << "a number is taken without a message";
    EXPECT_FLOAT_EQ(StartGCodeRestore::Editor()->GetExtrudeHeight(), 141.5f);
    EXPECT_EQ(dynamic_cast<wxTextCtrl*>(m_ui->GetGCodeWnd()->FindWindow(ZELKGCodeWnd::ID_EDIT_HEIGHT))->GetValue(),
              wxString::FromUTF8(StartGCodeRestore::Editor()->GetZAxisHeight()));
    EXPECT_EQ(m_capture.Messages().size(), 2u);
}

// Feed and retract against the printer simulator: its reported extruder
// temperature decides, and what it receives is compared with what was meant.
TEST_F(MachineControlPanel, FilamentMovesOnlyAboveTheFeedTemperature)
{
    StartGCodeRestore restore;
    Control()->RemoveOperatePackList();
    testsupport::TempDir dir;
    s3gsim::SimOptions options;
    options.heatRateCPerS = 1e9;  // a temperature is reached the moment it is set
    options.recordPath = dir.File("record.x3g");
    options.recordQueries = true;  // the stop is an extended stop
    linktest::SimThread sim(options);
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ASSERT_NE(Control()->OpenCom(sim.DevicePath()), 0) << Control()->GetComOpenErrorText();

    const auto heatTo = [&](int tempC) {
        Item<wxTextCtrl>(Panel::ID_EDIT_EXTRUDER)->ChangeValue(wxString::Format("%d", tempC));
        Button(Panel::ID_BUTTON_SET_EXTRUDER);
        EXPECT_TRUE(Control()->WaitForOperationListEmpty(5000));
        Control()->ChangePrintType_InquireExtruderTemperature();
        return testsupport::PumpUntil([&] { return Control()->GetReceiveBuf().extruderTemperature == tempC; }, 5000);
    };
    ASSERT_TRUE(heatTo(170));
    Button(Panel::ID_BUTTON_FEED);
    Button(Panel::ID_BUTTON_RETRACT);
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>(2, "id_message_extruderTemNotReach"));
    EXPECT_TRUE(Control()->GetOperatePackList().empty());

    ASSERT_TRUE(heatTo(171));
    Button(Panel::ID_BUTTON_FEED);
    EXPECT_TRUE(Control()->WaitForOperationListEmpty(5000));
    Button(Panel::ID_BUTTON_STOP);
    EXPECT_TRUE(Control()->WaitForOperationListEmpty(5000));
    Control()->CloseCom();
    sim.Stop();
    EXPECT_EQ(m_capture.Messages().size(), 2u);

    const std::string record = testsupport::ReadFile(options.recordPath);
    const Bytes expected =
        linktest::ExpectedRecord({ZELKCAD::GetPack("M104 S170"), ZELKCAD::GetPack("M104 S171"),
                                  zelk::ExtruderMovePackage(1, 6.0f, 30), zelk::HaltSteppersPackage()});
    EXPECT_EQ(Bytes(record.begin(), record.end()), expected);
}

// ---------------------------------------------------------------- three languages

TEST_F(MachineControlPanel, EveryTextFitsInChineseEnglishAndFrench)
{
    const struct {
        LANGUAGE language;
        const char* name;
    } languages[] = {{LANGUAGE_CHINESE, "chinese"}, {LANGUAGE_ENGLISH, "english"}, {LANGUAGE_FRENCH, "french"}};
    m_panel->Move(m_frame->GetScreenPosition() + wxPoint(85, 180));
    for (const auto& language : languages) {
        ZELKTranslation::GetTranslationObject()->Translate(language.language);
        m_panel->Translate();
        m_panel->Raise();
        for (wxWindow* child : m_panel->GetChildren()) {
            if (!child->IsShown())
                continue;
            wxClientDC dc(child);
            dc.SetFont(child->GetFont());
            const wxSize text = dc.GetTextExtent(child->GetLabel());
            if (dynamic_cast<wxButton*>(child) != nullptr) {
                EXPECT_LE(child->GetBestSize().x, child->GetSize().x) << language.name << " " << child->GetLabel();
            } else if (dynamic_cast<wxStaticText*>(child) != nullptr) {
                EXPECT_LE(text.x, child->GetSize().x) << language.name << " " << child->GetLabel();
            } else if (auto* list = dynamic_cast<wxChoice*>(child)) {
                EXPECT_LE(list->GetBestSize().x, list->GetSize().x) << language.name;
            }
            // Nothing spills past the panel's edge.
            EXPECT_TRUE(wxRect(m_panel->GetClientSize()).Contains(child->GetRect())) << language.name << " "
                                                                                      << child->GetId();
        }
        // In English the X+ arrow is shown held down.
        const bool held = language.language == LANGUAGE_ENGLISH;
        if (held)
            Mouse(Arrow(Panel::ID_ARROW_X_PLUS), wxEVT_LEFT_DOWN);
        ASSERT_TRUE(testsupport::PumpUntil([&] { return m_panel->IsShownOnScreen(); }, 2000));
        m_panel->Refresh();
        m_panel->Update();
        Pump();
        const std::string path = uitest::ArtefactFolder() + "machine-control-" + language.name + ".png";
        const wxImage screen = uitest::CaptureScreen(uitest::ArtefactFolder() + "screen-machine-control.png");
        ASSERT_TRUE(screen.IsOk());
        const wxRect area = m_panel->GetScreenRect().Intersect(wxRect(screen.GetSize()));
        EXPECT_TRUE(screen.GetSubImage(area).SaveFile(path, wxBITMAP_TYPE_PNG));
        if (held)
            Mouse(Arrow(Panel::ID_ARROW_X_PLUS), wxEVT_LEFT_UP);
    }
}

}  // namespace

// The panel says that what Set stores is what the next print starts with, in
// each language, on lines that fit inside the panel (measured, not guessed).
TEST_F(MachineControlPanel, TheNoteOnTheNextPrintFitsInEveryLanguage)
{
    auto* note = dynamic_cast<wxStaticText*>(m_panel->FindWindow(ZELKMachineControlWnd::ID_LABEL_NEXT_PRINT));
    ASSERT_NE(note, nullptr);
    ZELKTranslation* translation = ZELKTranslation::GetTranslationObject();
    const int before = translation->GetLanguage();
    for (LANGUAGE language : {LANGUAGE_CHINESE, LANGUAGE_ENGLISH, LANGUAGE_FRENCH}) {
        SCOPED_TRACE(language);
        translation->Translate(language);
        m_panel->Translate();
        const wxString text = note->GetLabelText();
        EXPECT_FALSE(text.empty());
        // Every wrapped line is as wide as the label at most, and the lines
        // together as tall as it at most.
        wxClientDC dc(note);
        dc.SetFont(note->GetFont());
        int height = 0;
        for (const wxString& line : wxSplit(text, '\n')) {
            const wxSize extent = dc.GetTextExtent(line);
            EXPECT_LE(extent.x, note->GetSize().x) << line;
            height += extent.y;
        }
        EXPECT_LE(height, note->GetSize().y) << text;
        // Inside the panel, below its lowest button.
        EXPECT_TRUE(wxRect(m_panel->GetClientSize()).Contains(note->GetRect())) << note->GetRect().y;
        EXPECT_GE(note->GetRect().y, m_panel->FindWindow(ZELKMachineControlWnd::ID_BUTTON_SET_HEIGHT)->GetRect().GetBottom());
    }
    translation->Translate(static_cast<LANGUAGE>(before));
}
