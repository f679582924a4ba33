// Every message box and modal dialog of the library passes through here: real
// Qt dialogs in the product, scripted answers and recorded texts in tests.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QDialog;
class QFileDialog;
class QWidget;

namespace quintar {

enum class TipoMessaggio { Errore, Avviso, Informazione, Conferma };

class Messaggi {
public:
    // What actually shows a box or runs a dialog.
    class Attuatore {
    public:
        virtual ~Attuatore() = default;
        // Returns the caption (without '&') of the button pressed, empty when closed.
        virtual QString mostra(TipoMessaggio tipo, const QString& testo,
                               const QStringList& pulsanti, const QString& predefinito,
                               QWidget* parent) = 0;
        virtual int esegui(QDialog* dialogo) = 0;
        // Open-file and folder choices; empty when cancelled.
        virtual QString scegliFile(QWidget* parent, const QString& titolo, const QString& cartella,
                                   const QString& filtro) = 0;
    };

    static void errore(const QString& testo, QWidget* parent = nullptr);
    static void avviso(const QString& testo, QWidget* parent = nullptr);
    static void informazione(const QString& testo, QWidget* parent = nullptr);
    // "Sì" / "No" confirmation; true for "Sì".
    static bool conferma(const QString& testo, QWidget* parent = nullptr,
                         bool noPredefinito = false);
    // The same with the warning icon (a question whose answer may lose work).
    static bool confermaAvviso(const QString& testo, QWidget* parent = nullptr,
                               bool noPredefinito = false);
    // Any set of buttons; returns the caption pressed (without '&').
    static QString chiedi(TipoMessaggio tipo, const QString& testo, const QStringList& pulsanti,
                          const QString& predefinito = {}, QWidget* parent = nullptr);
    // Runs a modal dialog; returns its result code.
    static int esegui(QDialog* dialogo);
    static QString scegliFile(QWidget* parent, const QString& titolo, const QString& cartella = {},
                              const QString& filtro = {});
    // Runs a dialog that saves a file and asks here, not in the dialog,
    // whether a file already there is to be replaced. The file chosen, with
    // ".suffisso" when its name has no dot; empty when cancelled or not to be
    // replaced (the export then ends, nothing written).
    static QString salvaCome(QFileDialog* dialogo, const QString& suffisso,
                             QWidget* parent = nullptr);

    // Replaces the back end (tests); nullptr restores the real dialogs.
    static void installa(std::shared_ptr<Attuatore> a);
    static Attuatore& attuatore();

    static QString titolo(TipoMessaggio tipo);
};

// Back end for tests: records every text, answers from a script.
class MessaggiRegistrati : public Messaggi::Attuatore {
public:
    struct Voce {
        TipoMessaggio tipo;
        QString testo;
    };
    std::vector<Voce> mostrati;
    std::deque<QString> risposte;   // button captions, in order
    std::deque<QString> fileScelti; // answers to file choices
    // Called for each modal dialog; returns its result. Without a handler the
    // dialog is rejected.
    std::function<int(QDialog*)> dialogo;
    std::vector<QString> dialoghiAperti; // objectName of each dialog run

    QString mostra(TipoMessaggio tipo, const QString& testo, const QStringList& pulsanti,
                   const QString& predefinito, QWidget* parent) override;
    int esegui(QDialog* d) override;
    QString scegliFile(QWidget*, const QString&, const QString&, const QString&) override;

    QStringList testi() const;
    void pulisci() { mostrati.clear(); }
};

// Installs a MessaggiRegistrati for the lifetime of the object.
class RegistraMessaggi {
public:
    RegistraMessaggi();
    ~RegistraMessaggi();
    MessaggiRegistrati* operator->() { return reg_.get(); }
    MessaggiRegistrati& operator*() { return *reg_; }

private:
    std::shared_ptr<MessaggiRegistrati> reg_;
};

} // namespace quintar
