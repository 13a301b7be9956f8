#pragma once

#include <QList>
#include <QString>

namespace tervalia {

// One document (GIA) of the company in vaf.db, as the document grid shows it.
struct DocumentoVAF
{
    QString nroGia;     // DOCUMENTO_ID
    QString referencia; // "1 a 12 / 2014": MESINICIAL a MESFINAL / PERIODO
    QString tipo;       // "Normal", "Substitutiva", or empty
};

// The type of a document from its SUBSTITUICAO value: "0" or "N" is "Normal", "1" or "S" is
// "Substitutiva"; any other value repeats the type of the row before (anterior).
QString tipoDocumento(const QString& substituicao, const QString& anterior);

// The documents of the company with state registration ie in vaf.db of the program directory,
// ordered by PERIODO, MESINICIAL, MESFINAL. Throws DatabaseError when vaf.db cannot be read.
QList<DocumentoVAF> ListaDocumentosVAF(const QString& ie);

// A company as vaf.db of the program directory holds it.
struct ContribuinteVAF
{
    QString ie; // INSCESTADUAL
    QString razaoSocial;
};

// Every company of vaf.db, in the file's order. Throws DatabaseError when vaf.db cannot be read.
QList<ContribuinteVAF> ContribuintesVAF();

} // namespace tervalia
