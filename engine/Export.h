#pragma once
// Visibility of the engine classes that libkorvalin.so exports to hosts (CTable, CAttribute and the value and
// record containers). The whole library is built with hidden visibility; a class declared
// `class KORVALIN_CLASS CName` keeps its members, vtable and type information visible to hosts. Internals that
// hosts must never see stay unmarked.

#define KORVALIN_CLASS __attribute__((visibility("default")))
