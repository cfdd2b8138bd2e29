#pragma once

#include <iostream>
#include <ostream>
