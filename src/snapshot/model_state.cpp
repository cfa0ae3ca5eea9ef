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

void reset_model_state_records() {
    zero_record(e_equation);
    zero_record(s_state1);
    zero_record(costate);
    zero_record(cmn_physics_input);
    zero_record(cmn_p_ut);
    zero_record(cmn_p_ut_sec);
    zero_record(cmn_p_euvflux);
    zero_record(cmn_p_neutrals);
    zero_record(cmn_production);
    zero_record(cmn_p_prod_night);
    zero_record(cmn_loss);
    zero_record(cmn_p_temperature);
    zero_record(cmn_ion_velocity);
    zero_record(cmn_p_wind);
    zero_record(cmn_p_gravity);
    zero_record(cmn_drift_param);
    zero_record(cmn_wind_param);
    zero_record(cmn_prod_param);
    zero_record(cmn_p_sdec);
    zero_record(cmn_p_aen);
    zero_record(cmn_p_aprod);
    zero_record(cmn_p_convec);
}

}  // namespace vorn
