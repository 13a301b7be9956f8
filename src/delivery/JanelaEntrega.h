#pragma once

#include "net/Upload.h"

#include <QString>
#include <QWidget>

#include <functional>

class QLabel;

namespace tervalia {

class PainelUpload;

// The company a delivery window was opened for: it sends for that company whatever the main window
// selects meanwhile.
struct EmpresaEntrega
{
    QString ie;
    QString razaoSocial;
    QString chave;
};

// What both delivery windows do around the upload: the accountant's document read at load, the
// company named in the window, the certificate step, the send through Winsock1 (the Upload) with
// its messages, the progress on the upload panel, and the end of the exchange: the answer shown,
// the main window on, the delivery recorded in entregas/, the refusal messages, the history
// refreshed, the result kept in the main window's status line, the window closed. A failed upload
// says why and leaves the window as it was, file chosen, for another try. "&Cancelar", Escape and
// closing the window while an upload is under way only hide it: the upload goes on to its answer.
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
    const EmpresaEntrega& empresa() const { return m_empresa; }
    // From the send button's press until the answer or the failure; the window may be hidden.
    bool enviando() const;
    // Why the window cannot be opened for the company of IE ie now (an upload of another company is
    // under way); empty when it can.
    QString impedimento(const QString& ie) const;

    // Tests shorten the upload's limits: the function changes the options of every window made
    // from now on; an empty function restores them.
    static void setAjusteParaTestes(std::function<void(OpcoesUpload&)> ajuste);

protected:
    JanelaEntrega(OpcoesUpload opcoes, QWidget* parent = nullptr);

    // Shows the one window W for empresa. An idle window takes that company; one still sending is
    // shown as it is.
    template <class W> static W* abrirPara(const EmpresaEntrega& empresa)
    {
        W* janela = W::instance();
        if (!janela->enviando())
            janela->setEmpresa(empresa);
        janela->mostra();
        return janela;
    }

    // Connects the upload to the panel's controls and names the company in lblEmpresa; call once
    // both exist.
    void ligaPainel(PainelUpload* painel, QLabel* lblEmpresa);
    // A window opened for another company drops what it had chosen for the one before.
    virtual void empresaTrocada() {}
    // The send button: the certificate step, then the upload of txtUploadFile to endereco (put into
    // txtUrl first) under nomeArquivo. Does nothing while an upload is under way. When conteudo is
    // given, that file's content is posted instead (txtUploadFile must still name the chosen file).
    // detalhe is added to the result shown after the answer (the documents sent).
    void enviar(const QString& endereco, const QString& nomeArquivo, const QString& conteudo = {},
                const QString& detalhe = {});
    // "&Cancelar": the main window on, this window hidden.
    void cancela();

    void closeEvent(QCloseEvent* evento) override;
    void changeEvent(QEvent* evento) override;

private:
    void setEmpresa(const EmpresaEntrega& empresa);
    void mostra();
    void larguraDoTitulo();
    void carregaContador();
    void respostaConcluida(const RespostaUpload& resposta);
    void erroSocket(const QString& descricao);
    QWidget* paiDasMensagens();
    void fecha();

    Upload* m_upload;
    PainelUpload* m_painel = nullptr;
    QLabel* m_lblEmpresa = nullptr;
    EmpresaEntrega m_empresa;
    QString m_detalhe;
    QString m_cpfCnpjContador;
    bool m_dentroDoEnvio = false;
    bool m_fecharAoVoltar = false;
};

} // namespace tervalia
