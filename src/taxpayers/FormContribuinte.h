#pragma once

#include "storage/Cadastro.h"
#include "taxpayers/VerificaContribuinte.h"

#include <QWidget>

class QLineEdit;

#include <memory>

namespace Ui {
class FormContribuinte;
}

namespace tervalia {

// The layout and the field checks that the taxpayer creation and update windows share. The two
// windows differ in their caption, the creation-only buttons and their OK.
class FormContribuinte : public QWidget
{
    Q_OBJECT

public:
    ~FormContribuinte() override;

protected:
    // Creation counts the IE in the register when the IE field is left. The update window's IE is
    // the row's key and is not counted; its OK checks the IE's check digits instead.
    enum class Uso { Criacao, Atualizacao };
    FormContribuinte(const QString& titulo, Uso uso);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The values as shown, nothing doubled.
    contribuinte::Campos campos() const;
    bool optanteSimples() const;
    void preenche(const ContribuinteRecord& registro);
    void setChave(const QString& chave, bool optanteSimples);
    QString erroMsg() const;
    void setErroMsg(const QString& texto);
    // The field checks up to the pending erroMsg; shows the first failure and returns false.
    bool verificaAntesDeGravar();

    virtual void cmdOK_Click() = 0;

    std::unique_ptr<Ui::FormContribuinte> m_ui;

private:
    // "Gerar chave através do Cert. Digital": the key and the Simples Nacional flag from the server.
    void Command1_Click();
    // The check that leaving the field runs.
    void verificaAoSair(QLineEdit* campo);
    void txtIE_LostFocus();
    void txtCNPJ_LostFocus();
    void mostraRegime(bool optanteSimples);

    Uso m_uso;
};

} // namespace tervalia
