#pragma once

#include "recording/StatementTemplate.h"

// The four INSERT templates, head and values template joined. Quoted
// placeholders stand between apostrophes; the stations row writes distance,
// lat, lon, heard_direct and radio_port bare.
const StatementTemplate &stationsStatement();
const StatementTemplate &fixedDataStatement();
const StatementTemplate &mobileDataStatement();
// No blank between the column list and "values": the head has always read so.
const StatementTemplate &wxDataStatement();
