#include <QApplication>
#include <QLabel>
#include <QRegularExpression>

#include "shell/DescriptionEditor.h"
#include "shell/ReadableColours.h"
#include "tests/app/AppFixture.h"

namespace tavrin {
namespace {

TEST(ReadableColours, DescribedColoursStayWhereTheyReadAndChangeWhereTheyDoNot) {
    const QColor white(Qt::white), dark(30, 30, 30);
    for (const char* name : {"blue", "red", "maroon", "navy", "fuchsia"})
        EXPECT_EQ(ReadableOn(QColor(name), white), QColor(name)) << name;
    EXPECT_NE(ReadableOn(QColor("navy"), dark), QColor("navy"));
    for (const char* name : {"blue", "navy", "maroon", "red"}) {
        const QColor fitted = ReadableOn(QColor(name), dark);
        EXPECT_GE(ContrastRatio(fitted, dark), 3.0) << name;
        if (fitted != QColor(name)) {
            EXPECT_GE(ContrastRatio(fitted, dark), 4.5) << name;
        }
        // Its hue is kept: the strongest channel stays the strongest.
        const QColor c(name);
        if (c.blue() > c.red()) {
            EXPECT_GT(fitted.blue(), fitted.red()) << name;
        }
        if (c.red() > c.blue()) {
            EXPECT_GT(fitted.red(), fitted.blue()) << name;
        }
    }
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
}

class DarkDesktopTest : public test::AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        saved_ = QApplication::palette();
        QPalette dark;
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            dark.setColor(role, QColor(35, 35, 38));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            dark.setColor(role, QColor(230, 230, 230));
        QApplication::setPalette(dark);
    }
    void TearDown() override {
        QApplication::setPalette(saved_);
        AppFixture::TearDown();
    }
    QPalette saved_;
};

// With a dark desktop palette every text colour the windows set reads on its background.
TEST_F(DarkDesktopTest, EveryColouredTextReads) {
    TMain& main = Start();
    static const QRegularExpression colour(R"((^|[;{\s])color:\s*([^;}\s]+))");
    int checked = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* widget : widgets) {
            const QString sheet = widget->styleSheet();
            if (sheet.contains("background")) continue;
            auto m = colour.match(sheet);
            if (!m.hasMatch()) continue;
            const QColor text(m.captured(2));
            const QColor back = widget->palette().color(QPalette::Window);
            EXPECT_GE(ContrastRatio(text, back), 3.0)
                << widget->metaObject()->className() << " " << sheet.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
    EXPECT_GE(ContrastRatio(main.DIZEdit->palette().color(QPalette::Text),
                            main.DIZEdit->palette().color(QPalette::Base)),
              3.0);
    // On the light palette again the described colours come back.
    QApplication::setPalette(saved_);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(main.DIZEdit->palette().color(QPalette::Text), QColor(0, 0, 128));
    EXPECT_TRUE(main.Ldrop->styleSheet().contains("#0000ff"))
        << main.Ldrop->styleSheet().toStdString();
}

}  // namespace
}  // namespace tavrin
