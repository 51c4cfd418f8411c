// The flat interface's table windows, offscreen, as a host that uses Qt itself sees them: CreateNewTable puts the
// frame into the host's window, the keys of the table's view reach the host's callbacks (and the view goes on
// with the key the host leaves), MainMessageLoop runs Qt's event loop. Only the public header and the library.

#include "korvalin/TableExport.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace TableExport;

namespace
{

// Writes what the host hears of the keys, and turns one key code into another.
class CKeyHost final : public TableCallback
{
public:
    void KeyDown(CTableFrame*, CKeyEvent* event) override
    {
        int32_t code = 0;
        int32_t shift = 0;
        KeyEventGetKeyCode(event, &code);
        KeyEventGetShift(event, &shift);
        Note("down", code, shift);
        if (code == m_nFrom)
            KeyEventSetKeyCode(event, m_nTo);
    }
    void KeyUp(CTableFrame*, CKeyEvent* event) override
    {
        int32_t code = 0;
        int32_t shift = 0;
        KeyEventGetKeyCode(event, &code);
        KeyEventGetShift(event, &shift);
        Note("up", code, shift);
    }
    void KeyPress(CTableFrame*, CKeyPressEvent* event) override
    {
        int32_t character = 0;
        KeyPressEventGetCharCode(event, &character);
        m_log += "char " + std::to_string(character) + "; ";
    }

    std::string m_log;
    int32_t m_nFrom = -1; // turned into m_nTo
    int32_t m_nTo = 0;

private:
    void Note(const char* what, int32_t code, int32_t shift)
    {
        char text[40];
        std::snprintf(text, sizeof text, "%s %02X %d; ", what, code, shift);
        m_log += text;
    }
};

int32_t Count(uint16_t (*count)(CTableFrame*, int32_t*), CTableFrame* frame)
{
    int32_t result = -1;
    EXPECT_EQ(count(frame, &result), 0);
    return result;
}

TEST(FrameWindow, MadeInTheHostsWindowKeysReachTheHostAndTheLoopRuns)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "viewer_api_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    ASSERT_EQ(InitKorvalinRegularDll(), 0);
    QWidget host;
    host.resize(800, 500);
    host.show();

    CTableFrame* frame = nullptr;
    ASSERT_EQ(CreateNewTable(&frame, reinterpret_cast<void*>(host.winId()), nullptr, 600, 400, 0, 0), 0);
    const QList<QWidget*> frames = host.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.front()->size(), QSize(600, 400));
    EXPECT_TRUE(frames.front()->isVisible());
    auto* view = frames.front()->findChild<QAbstractScrollArea*>();
    ASSERT_NE(view, nullptr);

    // A header "where" over "city": Bern, Basel, Bern.
    CAttribute* where = nullptr;
    CAttribute* city = nullptr;
    ASSERT_EQ(TableAddHeader(frame, &where, L"where", nullptr, 0, true), 0);
    ASSERT_EQ(TableAddAttribute(frame, &city, L"city", where, nullptr, 0, 10), 0);
    for (const wchar_t* value : {L"Bern", L"Basel", L"Bern"})
    {
        CRecord* record = nullptr;
        ASSERT_EQ(TableAddRecord(frame, &record), 0);
        ASSERT_EQ(TableSetValue(frame, city, record, const_cast<wchar_t*>(value), false), 0);
    }
    ASSERT_EQ(TableRefresh(frame), 0);

    CKeyHost keys;
    ASSERT_EQ(TableRegisterCallbacks(frame, &keys), 0);
    const auto press = [&](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(view, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(view, &up);
    };
    // The cursor onto the header, Space closes and opens it.
    bool open = false;
    press(Qt::Key_Down);
    press(Qt::Key_Space, Qt::NoModifier, " ");
    ASSERT_EQ(AttributeHeaderGetOpen(where, &open), 0);
    EXPECT_FALSE(open);
    press(Qt::Key_Space, Qt::NoModifier, " ");
    ASSERT_EQ(AttributeHeaderGetOpen(where, &open), 0);
    EXPECT_TRUE(open);
    // Down to Bern, Space selects it; the host turns F5 into Enter, and the view zooms in.
    press(Qt::Key_Down);
    press(Qt::Key_Space, Qt::ShiftModifier, " ");
    EXPECT_EQ(Count(TableGetSelectedRecordCount, frame), 2);
    EXPECT_EQ(Count(TableGetQualifiedRecordCount, frame), 3);
    keys.m_nFrom = 0x74;
    keys.m_nTo = 0x0D;
    press(Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Count(TableGetQualifiedRecordCount, frame), 2);
    // A key the host swallows (code 0) does nothing.
    keys.m_nFrom = 0x41;
    keys.m_nTo = 0;
    press(Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(keys.m_log, "down 28 0; up 28 0; down 20 0; char 32; up 20 0; down 20 0; char 32; up 20 0; "
                          "down 28 0; up 28 0; down 20 1; char 32; up 20 1; down 74 6; up 74 6; "
                          "down 41 0; char 97; up 41 0; ");

    // MainMessageLoop runs Qt's event loop: a timer set before it fires inside it and ends it.
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        QCoreApplication::quit();
    });
    EXPECT_EQ(MainMessageLoop(), 0);
    EXPECT_TRUE(ran);

    ASSERT_EQ(TableDestroy(frame), 0);
    EXPECT_TRUE(host.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty());
    // A handle that is no window of this process or of the window system gives 2.
    EXPECT_EQ(CreateNewTable(&frame, reinterpret_cast<void*>(uintptr_t{0x7ffff1}), nullptr, 10, 10, 0, 0), 2);
    EXPECT_EQ(frame, nullptr);
}

} // namespace
