#pragma once

#include "ui/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

namespace vmx::ui::test {

// One main window in a program folder of its own, with a virtual clock and scripted dialogs,
// so no test waits in real time or blocks on a message box.
struct Harness {
    struct Question {
        app::AskIcon Icon;
        app::AskButtons Buttons;
        QString Text;
    };

    QTemporaryDir dir;
    app::VirtualClock clock;
    std::vector<Question> questions;
    std::deque<app::AskResult> answers;
    app::AskResult defaultAnswer = app::AskResult::No;
    std::vector<QUrl> opened;
    bool desktopOpens = false; // what the desktop's opener answers
    // File dialogs: what they were asked (title, filter, save) and the names they answer.
    struct FileAsk {
        QString Title, Filter;
        bool Save;
    };
    std::vector<FileAsk> fileAsks;
    std::deque<QString> fileNames; // empty: Cancel
    // Answers the file dialogs by name (dialog name, preset) when `pickFile` is left as it is.
    std::function<QString(const QString&, const QString&)> fileName;
    // The links the window finds: none of the machine's own; tests add simulated converters
    // and pseudo-terminals.
    link::LinkOptions links = [] {
        link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        return o;
    }();
    MonitorOptions options;
    // Answers the window's file dialogs (dialog name, initial name); unset: always Cancel.
    std::function<QString(const QString&, const QString&)> pickFile = [](const QString&, const QString&) {
        return QString();
    };
    std::unique_ptr<TMainForm> form;

    void WriteIni(const QString& text) const
    {
        QFile f(dir.filePath(QStringLiteral("MONITOR.INI")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
    }

    TMainForm& Start()
    {
        options.configDir = dir.path();
        MainFormEnv env;
        env.clock = &clock;
        env.ask = [this](app::AskIcon icon, app::AskButtons buttons, const QString& text, const QString&) {
            questions.push_back(Question{icon, buttons, text});
            if (!answers.empty()) {
                const app::AskResult a = answers.front();
                answers.pop_front();
                return a;
            }
            return buttons == app::AskButtons::Ok ? app::AskResult::Ok : defaultAnswer;
        };
        env.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return desktopOpens;
        };
        env.linkOptions = links;
        env.fileName = [this](const QString& title, const QString& filter, bool save, const QString&) {
            fileAsks.push_back(FileAsk{title, filter, save});
            if (fileNames.empty()) return QString();
            const QString n = fileNames.front();
            fileNames.pop_front();
            return n;
        };
        env.pickFile = [this](const QString& dialog, const QString& initial) {
            const QString picked = pickFile(dialog, initial);
            return picked.isEmpty() && fileName ? fileName(dialog, initial) : picked;
        };
        form = std::make_unique<TMainForm>(options, env);
        return *form;
    }

    // Shown and active, so that shortcuts and focus behave as for the user.
    TMainForm& StartShown()
    {
        TMainForm& f = Start();
        f.show();
        f.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
        return f;
    }

    template <class T = QObject> T* Find(const char* name) const
    {
        T* o = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(o, nullptr) << name;
        return o;
    }
    QAction* Act(const char* name) const { return Find<QAction>(name); }
};

// A menu item's caption without the shortcut shown beside it.
inline QString Caption(const QAction* a)
{
    return a->text().section(QLatin1Char('\t'), 0, 0);
}

} // namespace vmx::ui::test
