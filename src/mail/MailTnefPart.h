#pragma once
// Which parts of a mail are TNEF documents.
#include <gmime/gmime.h>

// Readies GMime once per process; every use of the mail code calls it first.
void MailInit();

// True for a leaf part that holds a TNEF document: typed application/ms-tnef
// or application/vnd.ms-tnef, or an application/octet-stream one named
// winmail.dat or whose decoded content starts with the TNEF signature.
bool MailPartIsTnef(GMimeObject *object);

// True when the decoded content of `part` starts with the TNEF signature.
bool MailPartHasTnefSignature(GMimePart *part);
