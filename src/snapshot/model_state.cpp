#include "snapshot/model_state.hpp"

namespace vorn {

// Zero-initialised static storage: every record starts zeroed.
EEquation e_equation;
SState1 s_state1;
Costate costate;
CmnPhysicsInput cmn_physics_input;
CmnPUt cmn_p_ut;
CmnPUtSec cmn_p_ut_sec;
CmnPEuvflux cmn_p_euvflux;
CmnPNeutrals cmn_p_neutrals;
CmnProduction cmn_production;
CmnPProdNight cmn_p_prod_night;
CmnLoss cmn_loss;
CmnPTemperature cmn_p_temperature;
CmnIonVelocity cmn_ion_velocity;
CmnPWind cmn_p_wind;
CmnPGravity cmn_p_gravity;
CmnDriftParam cmn_drift_param;
CmnWindParam cmn_wind_param;
CmnProdParam cmn_prod_param;
CmnPSdec cmn_p_sdec;
CmnPAen cmn_p_aen;
CmnPAprod cmn_p_aprod;
CmnPConvec cmn_p_convec;

}  // namespace vorn
