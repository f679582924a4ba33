// The packaging search: a modal list of packaging items, narrowed by code,
// name and type, whose chosen item (code, name, photo) stays shown until the
// user returns to the caller.
#pragma once

#include "ui/ricerca.h"

#include <optional>

class QComboBox;

namespace quintar {

class PannelloFoto;

class TRicImballiForm : public SchermataRicerca {
    Q_OBJECT
public:
    TRicImballiForm(TTabXForm* sessione, QWidget* owner = nullptr);

    QComboBox* ComboTipoImballo;
    QLineEdit* EditCodiceSel;
    QLineEdit* EditDescrizioneSel;
    PannelloFoto* PanelNoFoto;

    // The type by its name ("Contenitore", ...; "Tutto" for every type); the
    // list reopens.
    void impostaTipo(const QString& tipo);
    // Makes the first item of that name current (nothing when none).
    void posizionaSuNome(const QString& nome);
    // The current item becomes the chosen one, with its photo.
    void SelezionaCorrente();

    struct Scelta {
        QString codice;
        QString nome;
    };
    // Shown modally with the type set and the list on `nome`: the item last
    // chosen when the user returned (empty when none was), nothing when the
    // search was closed.
    static std::optional<Scelta> scegli(TTabXForm* sessione, QWidget* owner, const QString& tipo,
                                        const QString& nome);

protected:
    QStringList altreCondizioni(QString& testo) const override;
    void selezioneAnnullata() override;
    bool eventFilter(QObject* o, QEvent* e) override;
};

} // namespace quintar
