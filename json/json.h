#pragma once

// The whole JSON library: values, parser, writer and files.
#include "json/array.h"
#include "json/files.h"
#include "json/integer.h"
#include "json/literals.h"
#include "json/number.h"
#include "json/object.h"
#include "json/parser.h"
#include "json/string_value.h"
#include "json/type_names.h"
#include "json/value.h"
#include "json/value_container.h"
