#pragma once

#include "platform/EscolhaCertificado.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <variant>

// What a test asks the certificate chooser to do, in order, and what the chooser offered: the
// chooser's test mode plays this script instead of waiting for a person.
namespace tervalia::roteiro_escolha {

struct Escolha
{
    QString titular;
};
struct Importacao
{
    QString arquivo;
    QString senha;
};
struct Cancelamento
{
};
using Acao = std::variant<Escolha, Importacao, Cancelamento>;

struct TestState
{
    bool enabled = false;
    QQueue<Acao> acoes;
    QList<EscolhaCertificado::Oferecido> oferecidos;
};

inline TestState& testState()
{
    static TestState state;
    return state;
}

} // namespace tervalia::roteiro_escolha
