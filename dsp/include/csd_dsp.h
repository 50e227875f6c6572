/* The whole DSP module library in one include. */
#ifndef CSD_DSP_H
#define CSD_DSP_H

#include "csd_table.h"
#include "csd_utilities.h"
#include "dist_mxr.h"
#include "dist_waveshapers.h"
#include "filter_2_pole_low_pass.h"
#include "filter_4P_LP.h"
#include "filter_average.h"
#include "filter_biquad.h"
#include "filter_butterworth.h"
#include "filter_chamberlin_multimode.h"
#include "filter_multimode.h"
#include "filter_shapers.h"

#endif
