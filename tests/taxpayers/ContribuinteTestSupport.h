#pragma once

#include "storage/Cadastro.h"
#include "support/GuiTest.h"

#include <QLineEdit>
#include <QTest>

// What the registration and list tests share: typing into the registration fields.
namespace tervalia::test {

inline QLineEdit* campo(QWidget* w, const char* name)
{
    return child<QLineEdit>(w, name);
}

// Types as a user would: masked fields take the digits from their first place on.
inline void digita(QWidget* w, const char* name, const QString& texto)
{
    QLineEdit* e = campo(w, name);
    e->clear();
    e->setCursorPosition(0);
    QTest::keyClicks(e, texto);
}

// A company of the stand-in server's demo seed, as its digits are typed.
struct EmpresaTeste
{
    QString ie = QStringLiteral("7001234500028");
    QString razaoSocial = QStringLiteral("Mercearia Boa Vista Ltda");
    QString cnpj = QStringLiteral("18473625000136");
    QString cnae = QStringLiteral("4711302");
    QString ccm = QStringLiteral("CCM-77");
    QString chave = QStringLiteral("K7M2Q9TX");
};

// Every field but the key, which comes from typing it or from the certificate step.
inline void preencheEmpresa(QWidget* w, const EmpresaTeste& e)
{
    digita(w, "txtIE", e.ie);
    digita(w, "txtRazaoSocial", e.razaoSocial);
    digita(w, "txtCNPJ", e.cnpj);
    digita(w, "txtCNAE", e.cnae);
    digita(w, "txtInscMunicipal", e.ccm);
}

// The stored form of the test company.
inline ContribuinteRecord registro(const EmpresaTeste& e, bool optanteSimples = false)
{
    return {e.ie,  e.razaoSocial, QStringLiteral("18.473.625/0001-36"), QStringLiteral("4711-3/02"), e.chave,
            e.ccm, optanteSimples};
}

} // namespace tervalia::test
