// Number editing: see header.
#pragma once
