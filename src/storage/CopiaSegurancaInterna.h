#pragma once

#include "ArquivoZip.h"
#include "CopiaSeguranca.h"

#include <optional>

// What the backup and the restore share: the archive's fixed names and the wording of failures.
namespace tervalia::copia {

inline constexpr int formatoAtual = 1;
inline constexpr qint64 tamanhoMaximoManifesto = 64 * 1024;
inline const QString nomeManifesto = QStringLiteral("manifesto.json");
inline const QString pastaNoArquivo = QStringLiteral("entregas/");

// The likely cause of a failed write (errno), in Portuguese, with the system's words after it.
QString causaGravacao(int codigo, const QString& detalhe);
QString textoFalhaZip(const FalhaZip& falha);
QString naoECopia();

QByteArray manifestoJson(const Manifesto& m);
// nullopt, with erro set, when the text is not a manifest this program can restore.
std::optional<Manifesto> manifestoDeJson(const QByteArray& json, QString& erro);

// Opens the archive and reads its first entry, which must be the manifest.
std::optional<QByteArray> leEntradaManifesto(LeitorZip& zip, const QString& arquivo, QString& erro);

} // namespace tervalia::copia
