#pragma once

// The UNO names the office bridge's sources use without their namespace.
// For the bridge's own .cpp files only: it opens the css namespace.

#include <com/sun/star/uno/Reference.hxx>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
