// A top-level screen opened by the launch: it keeps its session by reference
// and, when it owns it, frees it on close.
#pragma once

#include <QWidget>
#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace quintar {

class TTabXForm;

class FinestraSessione : public QWidget {
    Q_OBJECT
public:
    FinestraSessione(TTabXForm* sessione, QWidget* owner = nullptr);
    ~FinestraSessione() override;

    TTabXForm* Sessione() const { return sessione_; }
    // Set by the launch: closing the screen frees the session.
    bool PossiedeSessione = false;

    // Caption + " " + company, for captions ending in "- Ditta:".
    void impostaDidascalia(const QString& didascalia);

    // When above 0, the window opens where the user left it (STOPOS1 of the
    // company archive, under this situation) and is stored there on closing.
    int SituazioneFinestra = 0;

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    TTabXForm* sessione_;

private:
    bool posizioneCaricata_ = false;
};

// A command button of a screen: its caption and objectName; it never acts
// as the dialog's default button.
QPushButton* creaPulsante(const QString& testo, const QString& nome, QWidget* parent);

// OK and Annulla (OKBtn, CancelBtn) at the right of a dialog's last row: OK
// ends the dialog with kRisultatoOK once `verifica` accepts (always, without
// one), Annulla with kRisultatoAnnulla.
// Moves the window so that it stands in the middle of the desktop.
void centraSulDesktop(QWidget* finestra);

QHBoxLayout* pulsantiOkAnnulla(QDialog* dialogo, QPushButton*& ok, QPushButton*& annulla,
                               std::function<bool()> verifica = {});

} // namespace quintar
