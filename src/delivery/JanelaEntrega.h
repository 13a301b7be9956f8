#pragma once

#include "net/Upload.h"

#include <QString>
#include <QWidget>

#include <functional>

namespace tervalia {

class PainelUpload;

// What both delivery windows do around the upload: the accountant's document read at load, the
// certificate step, the send through Winsock1 (the Upload) with its messages, the progress on the
// upload panel, and the end of the exchange: the answer shown, the main window on, the refusal
// messages, the history refreshed, the window closed. Closing the window in any way drops the
// connection and switches the main window on.
//
// A window derives from this, builds its controls (with a PainelUpload), calls ligaPainel and
// calls enviar from its send button with the address it builds.
class JanelaEntrega : public QWidget
{
    Q_OBJECT

public:
    ~JanelaEntrega() override;

    Upload* upload() const { return m_upload; }
    PainelUpload* painel() const { return m_painel; }
    // The accountant's document digits, read when the window loaded; empty when none is stored or
    // the database failed (the report has been shown).
    QString cpfCnpjContador() const { return m_cpfCnpjContador; }
    bool certificadoValido() const { return m_upload->certificadoValido(); }

    // Tests shorten the upload's limits: the function changes the options of every window made
    // from now on; an empty function restores them.
    static void setAjusteParaTestes(std::function<void(OpcoesUpload&)> ajuste);

protected:
    JanelaEntrega(OpcoesUpload opcoes, QWidget* parent = nullptr);

    // Connects the upload to the panel's controls; call once the panel exists.
    void ligaPainel(PainelUpload* painel);
    // The send button: the certificate step, then the upload of txtUploadFile to endereco (put into
    // txtUrl first) under nomeArquivo. Does nothing while an upload is under way. When conteudo is
    // given, that file's content is posted instead (txtUploadFile must still name the chosen file).
    void enviar(const QString& endereco, const QString& nomeArquivo, const QString& conteudo = {});

    void closeEvent(QCloseEvent* evento) override;

private:
    void carregaContador();
    void respostaConcluida(const RespostaUpload& resposta);
    void erroSocket(const QString& descricao);
    void fecha();

    Upload* m_upload;
    PainelUpload* m_painel = nullptr;
    QString m_cpfCnpjContador;
    bool m_dentroDoEnvio = false;
    bool m_fecharAoVoltar = false;
};

} // namespace tervalia
