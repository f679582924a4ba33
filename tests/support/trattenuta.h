// Another process's write caught in the middle: statements run on a
// connection of their own and left uncommitted, ended by a thread of the test
// once a statement of another connection waits on them, that is once the code
// under test has reached the conflict. Nothing is timed: the thread looks at
// the archive's monitoring tables until it sees the waiting statement (30 s
// at most, then it ends the write all the same and `attesaVista` says so).
#pragma once

#include "session/db.h"

#include <QStringList>
#include <atomic>
#include <chrono>
#include <thread>

namespace prova {

class ScritturaTrattenuta {
public:
    ScritturaTrattenuta(const QString& file, const QStringList& frasi) : file_(file) {
        db_.connect(file);
        for (const QString& f : frasi) {
            q_.SQL = {f};
            q_.execSQL();
        }
    }
    ~ScritturaTrattenuta() { attendi(); }

    // Starts the thread: commit (or roll back) once a statement of another
    // connection whose text contains `testo` is running.
    void chiudiQuandoAttende(const QString& testo, bool conferma = true) {
        thread_ = std::thread([this, testo, conferma] {
            quintar::Database osservatore;
            osservatore.connect(file_);
            const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (std::chrono::steady_clock::now() < limite) {
                quintar::Transaction t(&osservatore);
                quintar::Query m(&osservatore, &t);
                m.SQL = {"SELECT COUNT(*) FROM MON$STATEMENTS WHERE MON$STATE=1 AND "
                         "MON$ATTACHMENT_ID<>CURRENT_CONNECTION AND MON$SQL_TEXT CONTAINING ?"};
                m.setParams({testo});
                if (m.scalar().toInt() > 0) {
                    vista_ = true;
                    break;
                }
                t.commit();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (conferma) {
                tr_.commit();
            } else {
                tr_.rollback();
            }
        });
    }
    // Waits for the thread; true when it saw the waiting statement.
    bool attendi() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return vista_;
    }

private:
    QString file_;
    quintar::Database db_;
    quintar::Transaction tr_{&db_};
    quintar::Query q_{&db_, &tr_};
    std::thread thread_;
    std::atomic<bool> vista_{false};
};

} // namespace prova
